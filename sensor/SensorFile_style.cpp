// Module detail lookups and the style merge: the diversity rules whose conditions hold on
// the module's detail text edit whole tabs of the base UI style.
#define SENSOR_SOURCE_NAME "SensorFile.cpp"
#include "SensorTrace.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "SensorFile.h"
#include "SensorXmlText.h"
#include "StringHandler.h"
#include "XmlString.h"
#include "sensor.h"
#include "SensorPaths.h"

// An edit of a tab reports as updateStyleTab.
constexpr SensorOp kUpdateStyleTabOp = {
    "updateStyleTab",
    "int updateStyleTab(TiXmlDocument*, const char*, const char*, const TiXmlElement*)"};

namespace {

// A detail field value is read into a 10-byte zero-filled buffer: at most 9 characters.
const size_t kDetailValueRoom = 10;
const size_t kDetailValueMax = kDetailValueRoom - 1;
// Two condition texts agree when they are equal or share their first five characters.
const size_t kAgreeLength = 5;

// Locates the value of field `name`: the characters between the first "=" after the first
// occurrence of the name and the first ")" after that "=". False when any is missing.
bool findDetailField(const char* detail, const char* name, const char** value, size_t* length) {
    if (detail == nullptr || name == nullptr) {
        return false;
    }
    const char* at = strstr(detail, name);
    const char* equal = at != nullptr ? strchr(at, '=') : nullptr;
    const char* close = equal != nullptr ? strchr(equal, ')') : nullptr;
    if (close == nullptr) {
        return false;
    }
    *value = equal + 1;
    *length = static_cast<size_t>(close - *value);
    return true;
}

// Copies at most 9 characters of the value, without a terminator.
size_t copyDetailValue(const char* value, size_t length, char* out) {
    const size_t n = length < kDetailValueMax ? length : kDetailValueMax;
    memcpy(out, value, n);
    return n;
}

bool textsAgree(const char* a, const char* b) {
    return strncmp(a, b, kAgreeLength) == 0;
}

// A condition holds when the detail text has the field and one of the accepted values
// (separated by ","), or the whole list, agrees with the field's value.
bool conditionHolds(const char* detail, const TiXmlAttribute* condition, char* nVal) {
    if (getDetailFieldToStr(detail, condition->Name(), nVal) != 0) {
        return false;
    }
    std::vector<std::string> alternatives;
    StringHandler::split(condition->Value(), alternatives, ",");
    for (const std::string& alternative : alternatives) {
        if (textsAgree(alternative.c_str(), nVal)) {
            return true;
        }
    }
    return textsAgree(condition->Value(), nVal);
}

// The first tab (a child element of the root) whose "key" equals tab_key exactly.
TiXmlElement* findTab(TiXmlElement* first, const char* tab_key) {
    for (TiXmlElement* tab = first; tab != nullptr; tab = tab->NextSiblingElement()) {
        const char* key = tab->Attribute("key");
        if (key != nullptr && strcmp(key, tab_key) == 0) {
            return tab;
        }
    }
    return nullptr;
}

// The tab edits. Each works on the root's children; inserted tabs are copies.
enum class TabEdit { kModify, kAddAfter, kDelete, kNone };

TabEdit tabEditNamed(const char* operation) {
    if (strcmp(operation, "Modify") == 0) {
        return TabEdit::kModify;
    }
    if (strcmp(operation, "AddAfter") == 0) {
        return TabEdit::kAddAfter;
    }
    if (strcmp(operation, "Delete") == 0) {
        return TabEdit::kDelete;
    }
    return TabEdit::kNone;
}

void applyTabEdit(TiXmlElement* root, TiXmlElement* target, TabEdit edit,
                  const TiXmlElement* content) {
    const bool needsContent = edit == TabEdit::kModify || edit == TabEdit::kAddAfter;
    if (needsContent && content == nullptr) {
        SENSOR_DBG_OP(kUpdateStyleTabOp, "edit of tab(%s) without content skipped\n",
                      target->Attribute("key"));
        return;
    }
    if (needsContent) {
        root->InsertAfterChild(target, *content);
    }
    if (edit == TabEdit::kModify || edit == TabEdit::kDelete) {
        root->RemoveChild(target);
    }
}

// Replaces the style text by a zero-filled block of the merged file's size holding the
// file's bytes. The count read, or -1 (the text is left as it was when no block is had).
int reloadMergedText(const char* filename, char** ui_style) {
    const INT64 file_len = getFileLen(filename);
    char* block = allocStyleText(file_len);
    if (block == nullptr) {
        return -1;
    }
    free(*ui_style);
    *ui_style = block;
    return loadFromFile(filename, block, file_len > 0 ? file_len : 0);
}

}  // namespace

int getDetailFieldTou32(const char* detail, const char* name, u32* value) {
    const char* text = nullptr;
    size_t length = 0;
    if (value == nullptr || !findDetailField(detail, name, &text, &length)) {
        return -1;
    }
    char nVal[kDetailValueRoom] = {0};
    copyDetailValue(text, length, nVal);
    *value = static_cast<u32>(atoi(nVal));
    return 0;
}

int getDetailFieldToStr(const char* detail, const char* name, char* value) {
    const char* text = nullptr;
    size_t length = 0;
    if (value == nullptr || !findDetailField(detail, name, &text, &length)) {
        return -1;
    }
    copyDetailValue(text, length, value);
    return 0;
}

int mergeStyle(int p_nChannelID, ModuleConfig* moduleConfig, char** ui_style,
               char* ui_styleDiversity) {
    SENSOR_ASSERT(NULL != ui_style, "NULL != ui_style", "%s", "");
    if (ui_style == nullptr) {
        return OVS_SUCCESS;
    }
    const char* detail = moduleConfig != nullptr ? moduleConfig->szDetail : "";

    // Both documents.
    TiXmlDocument doc_style;
    TiXmlDocument doc_style_div;
    const bool bStyleParsed = parseXmlText(doc_style, *ui_style, "ui_style");
    SENSOR_ASSERT(bStyleParsed, "doc_style.LoadMem(*ui_style, TIXML_ENCODING_UTF8)", "%s", "");
    const bool bDivParsed = parseXmlText(doc_style_div, ui_styleDiversity, "ui_styleDiversity");
    SENSOR_ASSERT(bDivParsed, "doc_style_div.LoadMem(ui_styleDiversity, TIXML_ENCODING_UTF8)", "%s",
                  "");
    if (!bDivParsed) {
        doc_style_div.Clear();  // half a rule is no rule: nothing of a broken text applies
    }

    // Each rule whose condition holds applies its edits in document order.
    TiXmlElement* node_first = doc_style_div.RootElement();
    SENSOR_ASSERT(NULL != node_first, "NULL != (node_first = doc_style_div.RootElement())", "%s",
                  "");
    for (; node_first != nullptr; node_first = node_first->NextSiblingElement()) {
        bool bHolds = false;
        for (const TiXmlAttribute* modi_attr = node_first->FirstAttribute();
             modi_attr != nullptr && !bHolds; modi_attr = modi_attr->Next()) {
            SENSOR_DBG("modi_attr->Name()(%s), modi_attr->Value()(%s)\n", modi_attr->Name(),
                       modi_attr->Value());
            char nVal[kDetailValueRoom] = {0};
            bHolds = conditionHolds(detail, modi_attr, nVal);
            if (!bHolds) {
                SENSOR_DBG("modi_attr->Name()(%s), modi_attr->Value()(%s) nVal(%s)\n",
                           modi_attr->Name(), modi_attr->Value(), nVal);
            }
        }
        if (!bHolds) {
            continue;
        }
        TiXmlElement* node_second = node_first->FirstChildElement();
        SENSOR_ASSERT(NULL != node_second,
                      "NULL != (node_second = node_first->FirstChildElement())", "%s", "");
        for (; node_second != nullptr; node_second = node_second->NextSiblingElement()) {
            updateStyleTab(&doc_style, node_second->Value(), node_second->Attribute("tab_key"),
                           node_second->FirstChildElement());
        }
    }

    // The merged document as the XML library prints it, in the channel's file.
    const std::string strFile = SensorPaths::mergedStylePath(p_nChannelID);
    const char* filename = strFile.c_str();
    saveXmlFile(doc_style, filename);

    // The whole merged document, for the info level.
    std::string strMerged;
    getXmlString(doc_style, strMerged);
    SENSOR_INFO_C(kColorMagenta, "%s\n", strMerged.c_str());

    // The style text becomes the merged file's content.
    const int nReloaded = reloadMergedText(filename, ui_style);
    SENSOR_ASSERT(nReloaded > 0, "loadFromFile(filename, *ui_style, file_len) > 0", "%s", "");
    return OVS_SUCCESS;
}

int updateStyleTab(TiXmlDocument* doc_style, const char* operation, const char* tab_key,
                   const TiXmlElement* content) {
    SENSOR_OP_IS(kUpdateStyleTabOp);
    TiXmlElement* root = doc_style != nullptr ? doc_style->RootElement() : nullptr;
    TiXmlElement* tab_node = root != nullptr ? root->FirstChildElement() : nullptr;
    SENSOR_ASSERT(NULL != tab_node,
                  "NULL != (tab_node = doc_style->RootElement()->FirstChildElement())", "%s", "");
    if (tab_node == nullptr || operation == nullptr || tab_key == nullptr) {
        return 0;
    }
    TiXmlElement* target = findTab(tab_node, tab_key);
    if (target != nullptr) {
        applyTabEdit(root, target, tabEditNamed(operation), content);
    }
    return 0;
}

// The dynamic style (the merged style rewritten from the ranges the image processor reports
// at run time) and the factory records read off it.
#define SENSOR_SOURCE_NAME "SensorFile.cpp"
#include "SensorTrace.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "SensorBeaway.h"
#include "SensorDeviceData.h"
#include "SensorFile.h"
#include "SensorKeys.h"
#include "SensorXmlText.h"
#include "XmlString.h"
#include "SensorPaths.h"

namespace {

using namespace SensorKeys;

// Room of the processor's records: 16 commands in the list, 64 items per range.
const int kMaxDynamicCmds = 16;
const int kMaxRangeItems = 64;
// The controller's factory array holds as many records as its key table has rows.
const u32 kMaxFactoryRecords = SensorPaths::kKeyCapacity;

// Parameters whose style default stays in force where the processor accepts it.
const int kMaxShutter = KEY_MAX_SHUTTER;
const int kFixShutter = KEY_FIX_SHUTTER;
const int kFocusNearLimit = KEY_AUTO_FOCUS_NEAR_LIMIT;
// Style value of those three that leaves the processor's default in force.
const int kKeepProcessorDefault = 100;
// A style value v >= 200 of the maximum shutter means: default v - 200 over the style's own
// items.
const int kOwnItemsOffset = 200;
// Placeholders: 10 is removed when WDR is offered, 11 when Beaway is offered.
const int kWdrPlaceholder = KEY_EMPTY1;
const int kBeawayPlaceholder = KEY_EMPTY2;
// The two switches that exclude each other in the UI.
const int kHlcSwitch = KEY_HLC_SWITCH;
const int kBlcSwitch = KEY_BLC_SWITCH;

bool hasId(const TiXmlElement* element, int id) {
    const char* text = element->Attribute("id");
    return text != nullptr && atoi(text) == id;
}

int clampCount(int count, int room) {
    return count > room ? room : count;
}

// Visits every element with the id, in document order, without descending into a match.
// A non-zero result of the visit ends the walk and is returned.
template <typename Visit>
int walkById(TiXmlElement* element, int id, Visit&& visit) {
    if (element == nullptr) {
        return 0;
    }
    if (hasId(element, id)) {
        return visit(element);
    }
    for (TiXmlElement* child = element->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        const int result = walkById(child, id, visit);
        if (result != 0) {
            return result;
        }
    }
    return 0;
}

bool isListedItem(const ia_dynamic_params_attr_st& attr, int value) {
    const int count = clampCount(attr.items_cnt, kMaxRangeItems);
    for (int i = 0; i < count; ++i) {
        if (attr.item[i] == value) {
            return true;
        }
    }
    return false;
}

// The processor lists the style's own default: print the search and take it over.
void takeListedStyleDefault(int index, int nVal, ia_dynamic_params_attr_st& attr) {
    printf("dnaCmdList.cmd_list[%d] = dnaParamList.items_cnt(%d)\n", index, attr.items_cnt);
    for (int j = 0; j < attr.items_cnt; ++j) {
        printf(" dnaParamList.item[%d] = %d nVal = %d \n", j, attr.item[j], nVal);
        if (attr.item[j] == nVal) {
            attr.def_val = nVal;
            break;
        }
    }
    fflush(stdout);
}

// For the shutter and focus-limit parameters the style's own default (or, for the maximum
// shutter, its own item list) wins over the processor's.
void applyStyleDefault(TiXmlElement* root, int index, int cmd, ia_dynamic_params_attr_st& attr) {
    if (cmd != kMaxShutter && cmd != kFixShutter && cmd != kFocusNearLimit) {
        return;
    }
    int nVal = 0;
    getDnaValbyCmdId(root, cmd, nVal);
    if (nVal == kKeepProcessorDefault) {
        return;
    }
    takeListedStyleDefault(index, nVal, attr);
    if (nVal >= kOwnItemsOffset && cmd == kMaxShutter) {
        doCustomizeStyle(root, kMaxShutter, &attr);
        attr.def_val = nVal - kOwnItemsOffset;
    }
}

void removeElementWithId(TiXmlElement* root, int id) {
    TiXmlElement* node = nullptr;
    getNodebyCmdId(root, id, node);
    DeleteNode(root, node);
}

// Appends the "index" of each child (at most 64) to the item list.
void takeOwnItems(const TiXmlElement* element, ia_dynamic_params_attr_st& attr) {
    int count = 0;
    for (const TiXmlElement* child = element->FirstChildElement();
         child != nullptr && count < kMaxRangeItems; child = child->NextSiblingElement()) {
        const char* index = child->Attribute("index");
        if (index != nullptr) {
            attr.item[count++] = atoi(index);
        }
    }
    attr.items_cnt = count;
    if (count > 0) {
        attr.min_val = attr.item[0];
        attr.max_val = attr.item[count - 1];
    }
}

// Stores one record per element with both "id" and "value", depth-first; false once the
// array is full and an element could not be stored.
bool collectRecords(const TiXmlElement* element, KeyVal* records, u32* count) {
    const char* id = element->Attribute("id");
    const char* value = element->Attribute("value");
    if (id != nullptr && value != nullptr) {
        if (*count >= kMaxFactoryRecords) {
            return false;
        }
        records[*count].key = static_cast<u32>(atoi(id));
        records[*count].value = atoi(value);
        ++*count;
    }
    for (const TiXmlElement* child = element->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        if (!collectRecords(child, records, count)) {
            return false;
        }
    }
    return true;
}

// Channel ids are 1-based: anything below cannot name a processor channel.
bool refuseChannel(int p_channelID) {
    const bool bRefused = p_channelID < 1;
    SENSOR_ASSERT(!bRefused, "p_channelID >= 1", "p_channelID(%d) refused\n", p_channelID);
    return bRefused;
}

// A node that is `root` itself or lies below it.
bool isWithin(const TiXmlNode* node, const TiXmlNode* root) {
    for (const TiXmlNode* at = node; at != nullptr; at = at->Parent()) {
        if (at == root) {
            return true;
        }
    }
    return false;
}

}  // namespace

int getDnaStyle(int p_channelID, const char* szStyle, std::string& out, bool p_bShowWDRFalg) {
    return dnaStyleText(p_channelID, szStyle, out, p_bShowWDRFalg, getshowBeawayFalg());
}

int dnaStyleText(int p_channelID, const char* szStyle, std::string& out, bool p_bShowWDRFalg,
                 bool p_bShowBeaway) {
    if (refuseChannel(p_channelID)) {
        return -1;
    }
    // Commands whose ranges depend on the sensor.
    ia_dynamic_cmds_st dnaCmdList;
    memset(&dnaCmdList, 0, sizeof(dnaCmdList));
    const int nListRet =
        ia_ioctrl_v2(p_channelID - 1, IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, &dnaCmdList);
    SENSOR_ASSERT(OVS_SUCCESS == nListRet,
                  "OVS_SUCCESS == ia_ioctrl_v2(p_channelID-1, IA_CMD_DYNAMIC_PARAMS_CMDS_GET, "
                  "IA_CMD_OPT_GET, (void*)(&dnaCmdList))",
                  "%s", "");

    // The style document every walk below starts from.
    TiXmlDocument objStyleXmlDoc;
    const bool bParsed = parseXmlText(objStyleXmlDoc, szStyle, "szStyle");
    SENSOR_ASSERT(bParsed, "objStyleXmlDoc.LoadMem(szStyle, TIXML_ENCODING_UTF8)", "%s", "");
    TiXmlElement* root = objStyleXmlDoc.RootElement();

    // Each command's default and items, as the processor reports them.
    SENSOR_DBG("dnaCmdList.cmd_cnt(%d)\n", dnaCmdList.cmd_cnt);
    const int nCmdCount = clampCount(dnaCmdList.cmd_cnt, kMaxDynamicCmds);
    ia_dynamic_params_attr_st dnaParamList;
    memset(&dnaParamList, 0, sizeof(dnaParamList));
    for (int i = 0; i < nCmdCount; ++i) {
        const int cmd = dnaCmdList.cmd_list[i];
        SENSOR_DBG("dnaCmdList.cmd_list[%d] = cmd(%d)\n", i, cmd);
        const int nRangeRet = ia_ioctrl_v2(p_channelID - 1, static_cast<ia_cmd_e>(cmd),
                                           IA_CMD_OPT_GET_PARAM_RNAGE, &dnaParamList);
        SENSOR_ASSERT(OVS_SUCCESS == nRangeRet,
                      "OVS_SUCCESS == ia_ioctrl_v2(p_channelID-1, "
                      "(ia_cmd_e)dnaCmdList.cmd_list[i], IA_CMD_OPT_GET_PARAM_RNAGE, "
                      "(void*)(&dnaParamList))",
                      "%s", "");
        dnaParamList.items_cnt = clampCount(dnaParamList.items_cnt, kMaxRangeItems);
        applyStyleDefault(root, i, cmd, dnaParamList);
        const int nStyleRet = doDnaStyle(root, cmd, &dnaParamList);
        SENSOR_ASSERT(OVS_SUCCESS == nStyleRet,
                      "OVS_SUCCESS == doDnaStyle(objStyleXmlDoc.RootElement(), "
                      "dnaCmdList.cmd_list[i], &dnaParamList)",
                      "%s", "");
    }

    // Placeholders of the functions that are offered.
    if (p_bShowWDRFalg) {
        removeElementWithId(root, kWdrPlaceholder);
    }
    if (p_bShowBeaway) {
        removeElementWithId(root, kBeawayPlaceholder);
    }

    getXmlString(objStyleXmlDoc, out);
    return OVS_SUCCESS;
}

int getDnaValbyCmdId(TiXmlElement* start, int id, int& value) {
    walkById(start, id, [&value](TiXmlElement* element) {
        const char* text = element->Attribute("value");
        if (text != nullptr) {
            value = atoi(text);
        }
        return 0;
    });
    return 0;
}

int getNodebyCmdId(TiXmlElement* start, int id, TiXmlElement*& node) {
    walkById(start, id, [&node](TiXmlElement* element) {
        node = element;
        return 0;
    });
    return 0;
}

int DeleteNode(TiXmlElement* root, TiXmlElement* node) {
    if (root == nullptr || node == nullptr) {
        return -1;
    }
    // Only nodes of root's own tree are removed; the root itself is not its own child.
    const bool bBelow = node != root && isWithin(node, root);
    SENSOR_ASSERT(bBelow, "node below root", "%s", "node is not below root: refused\n");
    if (!bBelow) {
        return -1;
    }
    TiXmlNode* parent = node->Parent();
    if (parent != nullptr && parent->ToElement() != nullptr) {
        parent->RemoveChild(node);
    }
    return 0;
}

int doDnaStyle(TiXmlElement* start, int cmd, const ia_dynamic_params_attr_st* attr) {
    if (start == nullptr || attr == nullptr) {
        return attr == nullptr ? -1 : 0;
    }
    if (!hasId(start, cmd)) {
        for (TiXmlElement* child = start->FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement()) {
            const int result = doDnaStyle(child, cmd, attr);
            if (result != 0) {
                return result;
            }
        }
        return 0;
    }
    SENSOR_DBG("_________________cmd(%d) default(%d)__________________\n", cmd, attr->def_val);
    start->SetAttribute("value", attr->def_val);
    TiXmlElement* next = nullptr;
    for (TiXmlElement* item = start->FirstChildElement(); item != nullptr; item = next) {
        next = item->NextSiblingElement();
        const char* index = item->Attribute("index");
        if (index == nullptr) {
            return -1;
        }
        if (!isListedItem(*attr, atoi(index))) {
            SENSOR_DBG("_________________delete comboitem(%s)__________________\n", index);
            start->RemoveChild(item);
        }
    }
    return 0;
}

int doCustomizeStyle(TiXmlElement* start, int cmd, ia_dynamic_params_attr_st* attr) {
    if (attr == nullptr) {
        return 0;
    }
    walkById(start, cmd, [attr](TiXmlElement* element) {
        takeOwnItems(element, *attr);
        return 0;
    });
    return 0;
}

int ModifyNodebyCmdId(TiXmlElement* start, int id) {
    walkById(start, id, [id](TiXmlElement* element) {
        if (id == kHlcSwitch) {
            element->SetAttribute("enable_list", "128");
        } else if (id == kBlcSwitch) {
            element->SetAttribute("enable_list", "112");
        }
        return 0;
    });
    return 0;
}

namespace {

// The factory records of the dynamic style with the given placeholders removed; refuses
// missing destinations and a channel below 1.
int factoryRecords(int p_channelID, char* p_szStyle, KeyVal* p_pKeyVal, u32* p_pnKeyValNum,
                   bool p_bShowWDRFalg, bool p_bShowBeaway) {
    SENSOR_ASSERT(NULL != p_pKeyVal && NULL != p_pnKeyValNum,
                  "NULL != p_pKeyVal && NULL != p_pnKeyValNum", "%s", "");
    if (p_pKeyVal == nullptr || p_pnKeyValNum == nullptr || refuseChannel(p_channelID)) {
        return -1;
    }
    // The style as the processor's ranges shape it.
    std::string strDnaStyle;
    const int nRet =
        dnaStyleText(p_channelID, p_szStyle, strDnaStyle, p_bShowWDRFalg, p_bShowBeaway);
    SENSOR_ASSERT(OVS_SUCCESS == nRet,
                  "OVS_SUCCESS == getDnaStyle(p_channelID,p_szStyle, strDnaStyle,p_bShowWDRFalg)",
                  "%s", "");

    TiXmlDocument objDnaStyleDoc;
    const bool bParsed = parseXmlText(objDnaStyleDoc, strDnaStyle.c_str(), "strDnaStyle");
    SENSOR_ASSERT(bParsed, "objDnaStyleDoc.LoadMem(strDnaStyle.c_str(), TIXML_ENCODING_UTF8)", "%s",
                  "");
    if (!bParsed) {
        objDnaStyleDoc.Clear();  // records only from a whole document
    }

    // One record per parameter element, in document order.
    *p_pnKeyValNum = 0;
    style2KeyVal(objDnaStyleDoc.RootElement(), p_pKeyVal, p_pnKeyValNum);
    return OVS_SUCCESS;
}

}  // namespace

int getFctData(int p_channelID, char* p_szStyle, KeyVal* p_pKeyVal, u32* p_pnKeyValNum,
               bool p_bShowWDRFalg) {
    return factoryRecords(p_channelID, p_szStyle, p_pKeyVal, p_pnKeyValNum, p_bShowWDRFalg,
                          getshowBeawayFalg());
}

int stableFactoryRecords(int p_channelID, char* p_szStyle, KeyVal* p_pKeyVal, u32* p_pnKeyValNum) {
    // Both functions counted as offered: their placeholders are never parameters.
    return factoryRecords(p_channelID, p_szStyle, p_pKeyVal, p_pnKeyValNum, true, true);
}

int style2KeyVal(TiXmlElement* element, KeyVal* p_pKeyVal, u32* p_pnCount) {
    if (element == nullptr || p_pKeyVal == nullptr || p_pnCount == nullptr) {
        return 0;
    }
    const bool bAllStored = collectRecords(element, p_pKeyVal, p_pnCount);
    SENSOR_ASSERT(bAllStored, "*p_pnCount <= 160",
                  "parameter elements beyond %u records are left out\n", kMaxFactoryRecords);
    return 0;
}

// The installed key names (generated from the key table at configure time) name the same
// keys, with the same numbers and in the same order, as the controller's own table.
#include <iterator>

#include <gtest/gtest.h>

#include "SensorKeyNames.h"
#include "SensorKeys.h"

// Every row's name, in the installed header and in the controller's enumeration, is the
// row's key number.
#define KEY_ROW(key, cmd, handler, name, ...)                                     \
    static_assert(static_cast<u32>(::name) == (key) && SensorKeys::name == (key), \
                  #name " is the key of its row");
#include "SensorKeyList.def"
#undef KEY_ROW

namespace {

const int kRowKeys[] = {
#define KEY_ROW(key, cmd, handler, name, ...) key,
#include "SensorKeyList.def"
#undef KEY_ROW
};

TEST(KeyNames, OneNamePerRowOfTheKeyTable) {
    EXPECT_EQ(TARNIS_KEY_COUNT, static_cast<int>(std::size(kRowKeys)));
    EXPECT_EQ(KEY_BRIGHTNESS, 34);
}

}  // namespace

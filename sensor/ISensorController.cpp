// The controller object: construction, small accessors and the key-command table.
#define SENSOR_SOURCE_NAME "ISensorController.cpp"
#include "SensorTrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "GThread.h"
#include "ISensorController.h"
#include "MachineInfo.h"
#include "OVFunction.h"

namespace {

const char* const kMachineInfoPath = "/mnt/mtd/code/factory_setting/machineinfo.ini";
const char* const kParamFileFormat = "/mnt/mtd/code/config_file/sensor%d.cfg";
const char* const kThermalParamFileFormat = "/mnt/mtd/code/config_file/sensor-thermal%d.cfg";

// The channel id that selects the thermal parameter files.
const int kThermalChannel = 2;
// Rows allocated for the key-command table; the filled rows are counted by m_nKeyCmdNum.
const u32 kKeyCmdCapacity = 160;

// One row of the key-command table as written in the source.
struct KeyRow {
    u32 key;
    u32 cmd;
    KeyHandler handler;
    const char* funcName;
    const char* keyName;
};

// Copies a name into a NUL-padded field; a name as long as the field fills it without a
// terminator.
template <size_t N>
void copyName(char (&field)[N], const char* name) {
    std::memcpy(field, name, strnlen(name, N));
}

void fillKeyCmdRow(keycmd& row, const KeyRow& src) {
    row.key = src.key;
    row.ia_cmd = src.cmd;
    row.handler = src.handler;
    copyName(row.szKeyName, src.keyName);
    copyName(row.szFuncName, src.funcName);
}

}  // namespace

ISensorController::ISensorController()
    : m_stSysConf(),
      m_nCameraID(1),
      m_pSensorThread(nullptr),
      m_nLastScheme(-1),
      m_nCurScheme(-1),
      m_nParamMode(1),
      m_ppUserKeyVal(nullptr),
      m_pstKeyValTmp(nullptr),
      m_pFctKeyVal(nullptr),
      m_nKeyValSum(0),
      m_pstKeyValWork(nullptr),
      m_pKeyCmdMap(nullptr),
      m_nVersion(8),
      m_pVideoStreamModule(nullptr),
      m_nFlags(0),
      m_nKeyCmdNum(kKeyCmdCapacity),
      m_nLastSchedule(255),
      m_bLprMode(false),
      m_bShowWDRFalg(true),
      m_bScheduleScheme(false),
      m_bAutoScheme(false),
      m_bisLimitedIrPower(false) {
    // The body of the sensor thread: sensorThread bound to this controller. GThread keeps its
    // own copies; the temporaries here release their references on return.
    function<int> body(new function_obj<int, bind_funcobj0<int, ISensorController>>(
        &ISensorController::sensorThread, this));
    function<int> bodyCopy(body);
    m_pSensorThread = new GThread(bodyCopy, "SensorThread", function<int>(&GThread::emptyFun),
                                  function<int>(&GThread::emptyFun));

    // Without the file the device type stays 0, which no device-specific rule matches.
    SystemInfoParser::parseMachineInfo(kMachineInfoPath, m_objMachineInfo);
}

ISensorController::~ISensorController() {
    if (m_pSensorThread != nullptr) {
        m_pSensorThread->stop();
        delete m_pSensorThread;
        m_pSensorThread = nullptr;
    }
}

void ISensorController::setChannelID(int id) {
    m_nCameraID = id;
    if (m_objMachineInfo.getDeviceType() == DeviceType::THERMAL_DEVICE) {
        m_nCameraID = kThermalChannel;
    }
}

void ISensorController::setVideoStreamModule(const VideoStreamModule* module) {
    m_pVideoStreamModule = module;
}

int ISensorController::getSensorType() {
    return m_stSysConf.moduleConfig.nModuleId;
}

int ISensorController::getSensorStatus() {
    return testFlag(inited_flag) ? 1 : 0;
}

void ISensorController::printDebugMsg() {}

void ISensorController::paramFileName(int p_nScheme, char* p_szName, unsigned p_nSize) const {
    const char* format =
        (m_nCameraID == kThermalChannel) ? kThermalParamFileFormat : kParamFileFormat;
    std::snprintf(p_szName, p_nSize, format, p_nScheme);
}

#define HANDLER(fn) &ISensorController::fn, "&ISensorController::" #fn
#define NO_HANDLER nullptr, "NULL"

void ISensorController::buildKeyCmdMap() {
    // clang-format off
    static const KeyRow kKeyRows[] = {
        //  key    command  handler                       key name
        {   8240,  8240,    HANDLER(doIaCmd),             "KEY__DDE_MANUAL_STRG"                 },
        {     34,    34,    HANDLER(doIaCmd),             "KEY_BRIGHTNESS"                       },
        {   2337,  2337,    HANDLER(doIaCmd),             "KEY_SATURATION"                       },
        {   2353,  2353,    HANDLER(doIaCmd),             "KEY_CONTRAST"                         },
        {   2321,  2321,    HANDLER(doIaCmd),             "KEY_SHARPNESS"                        },
        {     96,    96,    HANDLER(doIaCmd),             "KEY_METER_AREA"                       },
        {     16,    16,    HANDLER(doIaCmd),             "KEY_EXPOSE_MODE"                      },
        {     49,    49,    HANDLER(doIaCmd),             "KEY_MAX_SHUTTER"                      },
        {     50,    50,    HANDLER(doIaCmd),             "KEY_FIX_SHUTTER"                      },
        {     65,    65,    HANDLER(doIaCmd),             "KEY_MAX_GAIN"                         },
        {     66,    66,    HANDLER(doIaCmd),             "KEY_FIX_GAIN"                         },
        {     80,    80,    HANDLER(doIaCmd),             "KEY_IRIS_SWITCH"                      },
        {     81,    81,    HANDLER(doIaCmd),             "KEY_IRIS_SPEED"                       },
        {     82,    82,    HANDLER(doIaCmd),             "KEY_IRIS_POSITION"                    },
        {     83,    85,    HANDLER(doIaCmd),             "KEY_IRIS_SIZE"                        },
        {     17,    83,    HANDLER(doIaCmd_User),        "KEY_IRIS_UP"                          },
        {     18,    84,    HANDLER(doIaCmd_User),        "KEY_IRIS_DOWN"                        },
        {    768,   768,    HANDLER(doIaCmd),             "KEY_WB_MODE"                          },
        {    770,   770,    HANDLER(doIaCmd),             "KEY_R_GAIN"                           },
        {    771,   771,    HANDLER(doIaCmd),             "KEY_B_GAIN"                           },
        {    144,   144,    HANDLER(doIaCmd),             "KEY_DN_MODE"                          },
        {    147,   147,    HANDLER(doIaCmd),             "KEY_DELAY"                            },
        {    160,   160,    HANDLER(doIaCmd),             "KEY_IR_SWITCH"                        },
        {    161,   161,    HANDLER(doIaCmd),             "KEY_IR_MODE"                          },
        {    162,   162,    HANDLER(doIaCmd),             "KEY_IR_AUTO_STRG_NEAR"                },
        {    163,   163,    HANDLER(doIaCmd),             "KEY_IR_MANUAL_STRG_NEAR"              },
        {    164,   164,    HANDLER(doIaCmd),             "KEY_IR_AUTO_STRG_MEDIUM"              },
        {    165,   165,    HANDLER(doIaCmd),             "KEY_IR_MANUAL_STRG_MEDIUM"            },
        {    166,   166,    HANDLER(doIaCmd),             "KEY_IR_AUTO_STRG_FAR"                 },
        {    167,   167,    HANDLER(doIaCmd),             "KEY_IR_MANUAL_STRG_FAR"               },
        {    155,   155,    HANDLER(doIaCmd),             "KEY_IR_ANTI_OVEREXP"                  },
        {    170,   168,    HANDLER(doIaCmd),             "KEY_WHITE_SWITCH"                     },
        {    171,   169,    HANDLER(doIaCmd),             "KEY_WHITE_MODE"                       },
        {    172,   170,    HANDLER(doIaCmd),             "KEY_WHITE_MANUAL_STRG"                },
        {    173,   171,    HANDLER(doIaCmd),             "KEY_WHITE_MANUAL_STRG_MEDIUM"         },
        {    174,   172,    HANDLER(doIaCmd),             "KEY_WHITE_MANUAL_STRG_FAR"            },
        {   2304,  2304,    HANDLER(doIaCmd),             "KEY_2D_NR_SWITCH"                     },
        {   2305,  2305,    HANDLER(doIaCmd),             "KEY_2D_NR_MODE"                       },
        {   2306,  2306,    HANDLER(doIaCmd),             "KEY_2D_NR_STRG_A"                     },
        {   2307,  2307,    HANDLER(doIaCmd),             "KEY_2D_NR_STRG_M"                     },
        {   2308,  2308,    HANDLER(doIaCmd),             "KEY_3D_NR_SWITCH"                     },
        {   2309,  2309,    HANDLER(doIaCmd),             "KEY_3D_NR_MODE"                       },
        {   2312,  2312,    HANDLER(doIaCmd),             "KEY_3D_NR_STRG_A"                     },
        {   2313,  2313,    HANDLER(doIaCmd),             "KEY_3D_NR_STRG_M"                     },
        {   2368,  2368,    HANDLER(doHwdr),              "KEY_WDR_MODE"                         },
        {   2369,  2369,    HANDLER(doIaCmd),             "KEY_WDR_STRG"                         },
        {    112,   112,    HANDLER(doIaCmd),             "KEY_HLC_SWITCH"                       },
        {    113,   113,    HANDLER(doIaCmd),             "KEY_HLC_STRG"                         },
        {    128,   128,    HANDLER(doIaCmd),             "KEY_BLC_SWITCH"                       },
        {    129,   129,    HANDLER(doIaCmd),             "KEY_BLC_MODE"                         },
        {    130,   130,    HANDLER(doIaCmd),             "KEY_BLC_STRG"                         },
        {   2416,  2416,    HANDLER(doDIS),               "KEY_ANTI_SHAKE_SWITCH"                },
        {   2417,  2417,    HANDLER(doIaCmd),             "KEY_ANTI_SHAKE_STRG"                  },
        {   2400,  2400,    HANDLER(doIaCmd),             "KEY_DEFLG_SWITCH"                     },
        {   2401,  2401,    HANDLER(doIaCmd),             "KEY_DEFLG_STRG"                       },
        {    176,   176,    HANDLER(doIaCmd),             "KEY_IN_OUT_SIDE"                      },
        {    190,   190,    HANDLER(test_debugParam),     "KEY_TEST_PARAM1"                      },
        {    191,   191,    HANDLER(test_debugParam),     "KEY_TEST_PARAM2"                      },
        {    192,   192,    HANDLER(test_debugParam),     "KEY_TEST_PARAM3"                      },
        {    193,   193,    HANDLER(test_debugParam),     "KEY_TEST_PARAM4"                      },
        {   2384,  2384,    HANDLER(doMirror),            "KEY_MIRROR"                           },
        {   2385,  2385,    HANDLER(doBeaway),            "KEY_BEAWAY"                           },
        {    145,   145,    HANDLER(doDNThr),             "KEY_DTN_THR"                          },
        {    146,   146,    HANDLER(doDNThr),             "KEY_NTD_THR"                          },
        {    154,   154,    HANDLER(doDNThr),             "KEY_DN_SENSITIVITY"                   },
        {    149,   149,    HANDLER(doDNTime),            "KEY_DTN_H"                            },
        {    150,   150,    HANDLER(doDNTime),            "KEY_DTN_M"                            },
        {    151,   151,    HANDLER(doDNTime),            "KEY_NTD_H"                            },
        {    152,   152,    HANDLER(doDNTime),            "KEY_NTD_M"                            },
        {   1536,  1536,    HANDLER(doIaCmd),             "KEY_AUTO_FOCUS_MODE"                  },
        {   1537,  1537,    HANDLER(doIaCmd),             "KEY_AUTO_FOCUS_NEAR_LIMIT"            },
        {   1538,  1538,    HANDLER(doIaCmd),             "KEY_AUTO_FOCUS_SENSITIVITY"           },
        {   1539,  1539,    HANDLER(doIaCmd_User),        "KEY_AUTO_FOCUS_ONCE"                  },
        {   1616,  1616,    HANDLER(doIaCmd_User),        "KEY_LENS_RESET"                       },
        {   1570,  1570,    HANDLER(doIaCmd_User),        "KEY_ZOOM_OUT"                         },
        {   1569,  1569,    HANDLER(doIaCmd_User),        "KEY_ZOOM_IN"                          },
        {   1553,  1553,    HANDLER(doIaCmd_User),        "KEY_FOCUS_NEAR"                       },
        {   1554,  1554,    HANDLER(doIaCmd_User),        "KEY_FOCUS_FAR"                        },
        {   1584,  1584,    HANDLER(doIaCmd),             "KEY_DIGITAL_ZOOM"                     },
        {   1571,  1571,    HANDLER(doIaCmd),             "KEY_MZOOM_SPEED"                      },
        {   8100,  8100,    HANDLER(doIaCmd_PanoTuning),  "KEY_MIXSTREAM_DISTANCE"               },
        {   8101,  8101,    HANDLER(doIaCmd_PanoTuning),  "KEY_MIXSTREAM_DISTANCE_Y_OFFSET"      },
        {   8102,  8102,    HANDLER(doIaCmd_PanoTuning),  "KEY_MIXSTREAM_DISTANCE_WIDTH_OFFSET"  },
        {   8103,  8103,    HANDLER(doIaCmd_PanoTuning),  "KEY_MIXSTREAM_DISTANCE_HEIGHT_OFFSET" },
        {   8000,     0,    NO_HANDLER,                   "KEY_SCHEME_MODE"                      },
        {   8001,     0,    NO_HANDLER,                   "KEY_SCHEME_START_HOUR"                },
        {   8002,     0,    NO_HANDLER,                   "KEY_SCHEME_START_MIN"                 },
        {   8003,     0,    NO_HANDLER,                   "KEY_SCHEME_END_HOUR"                  },
        {   8004,     0,    NO_HANDLER,                   "KEY_SCHEME_END_MIN"                   },
        {     10,     0,    NO_HANDLER,                   "KEY_EMPTY1"                           },
        {     11,     0,    NO_HANDLER,                   "KEY_EMPTY2"                           },
        {   1552,  1552,    HANDLER(doIaCmd),             "KEY_MF_POSITION"                      },
        {   1568,  1568,    HANDLER(doIaCmd),             "KEY_MZ_POSITION"                      },
        {   2432,  2432,    HANDLER(doImageAdjust),       "KEY_CAP_OFF_ADJ_DIRECTION"            },
        {   2433,  2433,    HANDLER(doIaCmd),             "KEY_CAP_OFF_ADJ_STEP"                 },
        {   2434,  2434,    HANDLER(doIaCmd),             "KEY_CAP_OFF_ADJ_H_MIN"                },
        {   2435,  2435,    HANDLER(doIaCmd),             "KEY_CAP_OFF_ADJ_H_MAX"                },
        {   2436,  2436,    HANDLER(doImageAdjust),       "KEY_CAP_OFF_ADJ_H_CUR"                },
        {   2437,  2437,    HANDLER(doIaCmd),             "KEY_CAP_OFF_ADJ_V_MIN"                },
        {   2438,  2438,    HANDLER(doIaCmd),             "KEY_CAP_OFF_ADJ_V_MAX"                },
        {   2439,  2439,    HANDLER(doImageAdjust),       "KEY_CAP_OFF_ADJ_V_CUR"                },
        {   2497,  2464,    HANDLER(doIaCmd_User),        "KEY_SENSOR_FPS"                       },
        {   2512,  2512,    HANDLER(doIaCmd),             "KEY_FREEZE"                           },
        {   2528,  2528,    HANDLER(doIaCmd),             "KEY_GAMMA"                            },
        {   2560,  2560,    HANDLER(doIaCmd),             "KEY_DN_AF_MODE"                       },
        {   8201,  8201,    HANDLER(doIaCmd),             "KEY_NONE_COLOR_MODE"                  },
        {   8202,  8202,    HANDLER(doIaCmd),             "KEY_DVE_MODE"                         },
        {   8203,  8203,    HANDLER(doIaCmd),             "KEY_AUTO_TIME"                        },
        {   8209,  8209,    HANDLER(doIaCmd),             "KEY_AUTO_TEMPR"                       },
        {   8204,  8204,    HANDLER(doIaCmd),             "KEY_CONTROL_FFC_MODE"                 },
        {   8205,  8205,    HANDLER(doIaCmd),             "KEY_IMAGES_ADJUST"                    },
        {   8206,  8206,    HANDLER(doIaCmd),             "KEY_IMAGES_REGULATE"                  },
        {   8207,  8207,    HANDLER(doIaCmd),             "KEY_FOCUS_SPEED_LEVEL"                },
        {   8208,  8208,    HANDLER(doIaCmd),             "KEY_DVE_TYPE"                         },
        {   8211,  8211,    HANDLER(doIaCmd),             "KEY_SHUTTER_ADJUST"                   },
        {   8212,  8212,    HANDLER(doIaCmd_User),        "KEY_BACKGROUND_ADJUST"                },
        {   8217,  8217,    HANDLER(doIaCmd),             "KEY_TEMPERATURE_STRIP_SWITCH"         },
        {   8231,  8231,    HANDLER(doIaCmd_User),        "IA_CMD_UI_SHUTTER_RESET"              },
        {   9000,  9000,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_STITCH_DIST"                 },
        {   9001,  9001,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_SAVE"                        },
        {   9002,  9002,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_RESET"                       },
        {   9003,  9003,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_PREVIEW"                     },
        {   9004,  9004,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_ADJUST_EN"                   },
        {   9005,  9005,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_ID"                          },
        {   9101,  9101,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_ADJUST_EN_1"                 },
        {   9102,  9102,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_YAW_1"                       },
        {   9103,  9103,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_PITCH_1"                     },
        {   9104,  9104,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_ROLL_1"                      },
        {   9105,  9105,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_OFFSETX_1"                   },
        {   9106,  9106,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_OFFSETY_1"                   },
        {   9201,  9201,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_ADJUST_EN_2"                 },
        {   9202,  9202,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_YAW_2"                       },
        {   9203,  9203,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_PITCH_2"                     },
        {   9204,  9204,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_ROLL_2"                      },
        {   9205,  9205,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_OFFSETX_2"                   },
        {   9206,  9206,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_OFFSETY_2"                   },
        {   9301,  9301,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_ADJUST_EN_3"                 },
        {   9302,  9302,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_YAW_3"                       },
        {   9303,  9303,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_PITCH_3"                     },
        {   9304,  9304,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_ROLL_3"                      },
        {   9305,  9305,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_OFFSETX_3"                   },
        {   9306,  9306,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_OFFSETY_3"                   },
        {   9401,  9401,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_ADJUST_EN_4"                 },
        {   9402,  9402,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_YAW_4"                       },
        {   9403,  9403,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_PITCH_4"                     },
        {   9404,  9404,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_ROLL_4"                      },
        {   9405,  9405,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_OFFSETX_4"                   },
        {   9406,  9406,    HANDLER(doIaCmd_PanoTuning),  "KEY_PANO_OFFSETY_4"                   },
        {    168,     0,    NO_HANDLER,                   "KEY_IR_MODE_INTELL"                   },
        {    175,     0,    NO_HANDLER,                   "KEY_WHITE_MODE_INTELL"                },
        {    200,     0,    NO_HANDLER,                   "KEY_IR_MANUAL_STRG_NEAR_INTELL"       },
        {    203,     0,    NO_HANDLER,                   "KEY_WHITE_MANUAL_STRG_INTELL"         },
        {    224,   224,    HANDLER(doIaCmd),             "KEY_LIGHT_TYPE"                       },
        {   2570,  2048,    HANDLER(doIaCmd),             "KEY_LDC_SWITCH"                       },
        {   2571,  2064,    HANDLER(doIaCmd),             "KEY_LDC_STRG"                         },
    };
    // clang-format on
    static_assert(std::size(kKeyRows) == 155, "one row per key");
    static_assert(std::size(kKeyRows) <= kKeyCmdCapacity, "the table fits its allocation");

    std::free(m_pKeyCmdMap);
    m_pKeyCmdMap = static_cast<keycmd*>(std::calloc(kKeyCmdCapacity, sizeof(keycmd)));
    SENSOR_ASSERT(m_pKeyCmdMap != nullptr, "NULL != m_pKeyCmdMap", "m_nKeyCmdNum(%u)\n",
                  kKeyCmdCapacity);
    if (m_pKeyCmdMap == nullptr) {
        m_nKeyCmdNum = 0;
        return;
    }
    for (u32 i = 0; i < std::size(kKeyRows); ++i) {
        fillKeyCmdRow(m_pKeyCmdMap[i], kKeyRows[i]);
    }
    m_nKeyCmdNum = static_cast<u32>(std::size(kKeyRows));
}

#undef HANDLER
#undef NO_HANDLER

int ISensorController::findFromKeyCmdMap(const keycmd* p_pMap, u32 p_nKey, keycmd& p_stRow) {
    if (p_pMap != nullptr) {
        for (u32 i = 0; i < m_nKeyCmdNum; ++i) {
            if (p_pMap[i].key == p_nKey) {
                p_stRow = p_pMap[i];
                return static_cast<int>(i);
            }
        }
    }
    SENSOR_DBG("cand not find key-cmd while key=%d\n", p_nKey);
    return -1;
}

// Entry point of the image-adjust control library (the image processor's vendor library).
// The host process provides it; libtarnis only calls it, through the dynamic linker, so any
// executable or library loaded before it may supply its own definition.
#ifndef IA_IOCTRL_H
#define IA_IOCTRL_H

#ifdef __cplusplus
extern "C" {
#endif

// Options: what the data pointer of a call points to.
typedef enum {
    IA_CMD_OPT_SET = 0,              // the value or record to apply
    IA_CMD_OPT_GET = 1,              // receives the current value or record
    IA_CMD_OPT_GET_PARAM_RNAGE = 2,  // receives an ia_dynamic_params_attr_st
    IA_CMD_OPT_CORRECT_PARAM = 3,    // an int the library replaces by an accepted value
    IA_CMD_OPT_GET_EXEC_STATUS = 4,  // receives the command's execution status
} ia_cmd_opt_e;

// Command numbers. Every command number converts to this type: its enumerators span the
// whole range of int (the least and the greatest), so no number a caller passes is out of it.
// The commands that callers name (beyond the key table's own numbers) are declared here, once.
typedef enum {
    IA_CMD_LEAST = -2147483647 - 1,
    IA_CMD_NONE = 0,
    IA_CMD_EXPOSE_MODE = 16,  // exposure mode; 3 is manual iris
    IA_CMD_BRIGHTNESS = 34,
    IA_CMD_MAX_SHUTTER = 49,    // ranged: the shutter steps
    IA_CMD_FIX_SHUTTER = 50,    // ranged
    IA_CMD_IRIS_POSITION = 82,  // ranged
    IA_CMD_IRIS_UP = 83,
    IA_CMD_IRIS_DOWN = 84,
    IA_CMD_DTN_THR = 145,         // record: d2n_thr, n2d_thr, dn_sensitivity
    IA_CMD_NTD_THR = 146,         // same record
    IA_CMD_DTN_H = 149,           // record: d2n_hour, d2n_min, n2d_hour, n2d_min
    IA_CMD_DTN_M = 150,           // same record
    IA_CMD_NTD_H = 151,           // same record
    IA_CMD_NTD_M = 152,           // same record
    IA_CMD_DN_STATE = 153,        // the processor's day/night state, 0 day
    IA_CMD_DN_SENSITIVITY = 154,  // threshold record
    IA_CMD_IR_SWITCH = 160,
    IA_CMD_WHITE_SWITCH = 168,
    IA_CMD_WHITE_MODE = 169,
    IA_CMD_LIGHT_TYPE = 224,
    IA_CMD_EXPOSURE_STRATEGY = 225,
    IA_CMD_AUTO_FOCUS_MODE = 1536,        // first command of the lens
    IA_CMD_AUTO_FOCUS_NEAR_LIMIT = 1537,  // ranged
    IA_CMD_MF_POSITION = 1552,
    IA_CMD_FOCUS_NEAR = 1553,
    IA_CMD_FOCUS_FAR = 1554,
    IA_CMD_MZ_POSITION = 1568,
    IA_CMD_ZOOM_IN = 1569,
    IA_CMD_ZOOM_OUT = 1570,
    IA_CMD_HEAT_STATUS = 1606,
    IA_CMD_LENS_RESET = 1616,  // last command of the lens
    IA_CMD_PTZ_RUN_STATE = 1632,
    IA_CMD_AF_STATISTIC = 1648,
    IA_CMD_SHARPNESS = 2321,
    IA_CMD_SATURATION = 2337,
    IA_CMD_CONTRAST = 2353,
    IA_CMD_WDR_MODE = 2368,
    IA_CMD_CAMERA_VERSION = 2496,  // a text of at most 50 bytes
    IA_CMD_SENSOR_CHECK = 2816,    // record: ia_sensor_check_st
    IA_CMD_DYNAMIC_PARAMS_CMDS_GET = 4112,
    IA_CMD_UI_SHUTTER_RESET = 8231,
    IA_CMD_MAX = 0x7fffffff,
} ia_cmd_e;

// Commands whose ranges depend on the sensor (filled by IA_CMD_DYNAMIC_PARAMS_CMDS_GET with
// IA_CMD_OPT_GET).
typedef struct {
    int cmd_cnt;       // number of valid entries, at most 16
    int cmd_list[16];  // the command numbers
} ia_dynamic_cmds_st;

// Range of one command (filled with IA_CMD_OPT_GET_PARAM_RNAGE). param_type 0: discrete items.
typedef struct {
    int param_type;  // 0: a list of discrete values
    int def_val;     // default value
    int min_val;     // smallest value
    int max_val;     // largest value
    int items_cnt;   // number of valid items, at most 64
    int item[64];    // the allowed values, smallest first
} ia_dynamic_params_attr_st;

// Record of the sensor check command (IA_CMD_SENSOR_CHECK): three request numbers, then the result.
typedef struct {
    int param[3];  // the three numbers of the check request
    int result;    // written by the processor for option 1
} ia_sensor_check_st;

#ifdef __cplusplus
static_assert(sizeof(ia_dynamic_cmds_st) == 68, "command list is 68 bytes");
static_assert(sizeof(ia_dynamic_params_attr_st) == 276, "range record is 276 bytes");
static_assert(sizeof(ia_sensor_check_st) == 16, "sensor check record is 16 bytes");
#endif

// Returns 0 on success; channel is 0-based.
__attribute__((visibility("default"))) int ia_ioctrl_v2(int channel, ia_cmd_e cmd, ia_cmd_opt_e opt,
                                                        void* data);

#ifdef __cplusplus
}
#endif

#endif

#pragma once
/*
 * Control API of the instrument emulator.
 *
 * The emulator implements the libusb-1.0 functions the program calls, for one
 * emulated instrument (plus optional foreign devices) on a virtual bus. Tests
 * link it in place of the system libusb and drive it through these functions;
 * the shared build reads the TAV_EMU_* environment variables instead (see
 * README.md beside this file).
 *
 * Every function is thread-safe. Asynchronous transfers complete only inside
 * libusb_handle_events*, which returns at least every 100 ms and at once after
 * a change on the bus. Bulk IN data that can never come (a stopped stream, an
 * exhausted memory window) makes a transfer time out at once rather than after
 * its real time-out.
 */
#ifdef __cplusplus
extern "C" {
#endif

/* Descriptor forms of the instrument's configuration descriptor. */
enum emu_desc_form {
    EMU_DESC_NO_ENDPOINTS = 0, /* controller without firmware: interface without endpoints */
    EMU_DESC_NO_IN = 1,        /* endpoints, but not the bulk IN one */
    EMU_DESC_ZERO_PACKET = 2,  /* bulk IN endpoint with maximum packet size 0 */
    EMU_DESC_HIGH_SPEED = 3,   /* firmware running, 512-byte bulk packets */
    EMU_DESC_FULL_SPEED = 4    /* firmware running, 64-byte bulk packets */
};

/* Raw capture forms the instrument delivers. */
enum emu_raw_form {
    EMU_FORM_16 = 16, /* buffer frames of 16 bytes, 16-bit stream words */
    EMU_FORM_32 = 32, /* buffer frames of 32 bytes, 16-bit stream words */
    EMU_FORM_8 = 8    /* stream only: one byte per sample */
};

/* Resets everything to a fresh bus: instrument unplugged, no foreign device,
 * default identity, empty log, no faults, no capture script. */
void emu_reset(void);

/* Identity and form of the instrument. The vendor ID defaults to the
 * build's TAV_VENDOR_ID. */
void emu_set_ids(unsigned short vendor_id, unsigned short product_id);
void emu_set_firmware_running(int running);
void emu_set_firmware_desc_form(int form); /* form while firmware runs (3 or 4) */
void emu_set_boot_desc_form(int form);     /* form without firmware (0, 1 or 2) */
void emu_set_bus_address(int address);
/* Replaces the configuration descriptor by raw bytes (NULL restores the built one). */
void emu_set_config_descriptor(const unsigned char* bytes, int len);
/* Delay between the firmware start and the re-enumerated device appearing;
 * -1: the device never comes back. */
void emu_set_reenum_delay_ms(int ms);
void emu_set_raw_form(int form);
/* Device memory in bytes for buffer mode (circular), and where the capture ends. */
void emu_set_memory(long long bytes);
void emu_set_memory_base(long long byte_offset);
/* Answered by request 0x60 IN (bytes 2..9) after the OUT key A3 01 CA. */
void emu_set_device_id(const unsigned char id[8]);

/* Bus. A plug attaches the instrument powered on (FPGA unloaded, registers
 * cleared) in the configured firmware state; a firmware start sets that
 * state to running for the re-enumerated device and later plugs. */
void emu_plug(void);
void emu_unplug(void);
int emu_is_plugged(void);
int emu_bus_address(void);
void emu_add_foreign(unsigned short vendor_id, unsigned short product_id);
int emu_device_count(void);

/* EEPROM (256 bytes, 0xFF where never written; after a reset it holds the
 * model record of code 3 and the batch word 0x0101). */
void emu_eeprom_write(int address, const unsigned char* bytes, int len);
void emu_eeprom_read(int address, unsigned char* bytes, int len);
/* Model record at 0x08: code, ~code, sub-version, ~sub-version, repeated. */
void emu_set_model_record(int code, int subversion);
/* The model record plus the raw form and sample memory of the model that
 * the EEPROM code names (8 channels for code 1, 32 for codes 6 and 101;
 * product 0x01A1 is always the 64 Mi-sample model). Set the product first. */
void emu_set_model(int code, int subversion);
/* Batch word at 0x20: word, ~word. */
void emu_set_batch(unsigned short batch);

/* Controller RAM as written by firmware uploads (0 where never written). */
int emu_ram_read(unsigned int address, unsigned char* bytes, int len);
int emu_ram_bytes_written(void);
int emu_firmware_starts(void);

/* FPGA. */
void emu_set_fpga_load_result(int result); /* -1: 0 when the whole image came, else 1 */
long long emu_fpga_bytes_received(void);
long long emu_fpga_size_announced(void);
/* Bytes of the last FPGA image received (up to 64 MiB); returns its size. */
long long emu_fpga_image(unsigned char* bytes, long long maxlen);
int emu_fpga_running(void);
/* Status word of register 0 while idle (-1 restores the derived one). */
void emu_set_status_override(int word);

/* Register file: the bytes last written to a register. Returns their count. */
int emu_reg_get(int reg, unsigned char* bytes, int maxlen);
int emu_reg_write_count(int reg);
/* Answer of register 0x04; by default the script's levels at sample 0,
 * then zero bytes for the second bit of each channel. */
void emu_set_live_levels(const unsigned char* bytes, int len);

/* Capture script: per-channel levels over `samples` samples. Levels hold
 * after the last edge. */
void emu_script_clear(long long samples);
void emu_script_channel(int ch, int init_level, const long long* edges, int n);
/* Loads a text script (the format of TAV_EMU_SCRIPT): lines "samples N",
 * "square CH HALF_PERIOD", "edges CH INIT_LEVEL E1 E2 ...", "analog TRIGGER
 * RAW_FILE"; '#' starts a comment. Returns 0 (and keeps the old script) on
 * an unreadable or malformed file. */
int emu_script_load(const char* path);
/* Channel ch toggles every `half_period` samples, starting low. */
void emu_script_square(int ch, long long half_period);
/* Analog record of the mixed-signal model: raw ADC bytes, trigger index. */
void emu_script_analog(const signed char* bytes, int len, int trigger_index);
/* Number of status reads spent in pre-sampling, waiting and triggered states. */
void emu_set_buffer_phases(int pre, int wait, int triggered);
/* Stream pacing in bytes per second (0: as fast as transfers are posted). */
void emu_set_stream_rate(long long bytes_per_second);
/* Stream: bytes delivered so far, and whether it is running. */
long long emu_stream_bytes(void);
int emu_stream_running(void);
/* Buffer mode: trigger sample found in the script (-1 none). */
long long emu_capture_trigger(void);

/* Longest wait of libusb_handle_events without events (default 100 ms; a
 * long wait models the real library, which only an interrupt cuts short). */
void emu_set_event_wait_ms(int ms);
/* Calls of libusb_interrupt_event_handler since the reset. */
int emu_interrupts(void);
/* libusb_init calls not yet matched by libusb_exit. */
int emu_init_refs(void);

/* Faults. err is a negative LIBUSB_ERROR_* value. */
void emu_fail_init(int fail);
void emu_fail_open(int attempts, int err);
void emu_set_kernel_driver(int active, int detach_err);
void emu_fail_claim(int err);
void emu_fail_alt_setting(int err);
/* Control requests matching (direction 0 out / 1 in / -1 any, request, value
 * or -1) fail after `skip` matches, `count` times (-1: always). result < 0 is
 * the error returned at once; result >= 0 truncates the transfer to that many
 * bytes. */
void emu_fail_control(int direction, int request, int value, int skip, int count, int result);
/* Control requests matching (direction 0 out / 1 in / -1 any, request, value
 * or -1) get no answer until emu_release_control() or emu_reset(), even when
 * the device leaves the bus meanwhile: a transfer that never completes. They
 * then run as usual. emu_held_controls() counts those waiting now. */
void emu_hold_control(int direction, int request, int value);
void emu_release_control(void);
int emu_held_controls(void);
/* Synchronous bulk OUT fails with err once `after_bytes` were accepted. */
void emu_fail_bulk_out(long long after_bytes, int err);

/* Bulk IN faults, counted from the bytes delivered when the fault is set. */
enum emu_in_fault {
    EMU_IN_NONE = 0,
    EMU_IN_SHORT = 1,   /* the data ends after `after_bytes`: a short transfer, then time-outs */
    EMU_IN_EMPTY = 2,   /* the first transfer starting at `after_bytes` completes with 0 bytes */
    EMU_IN_ERROR = 3,   /* ... completes with LIBUSB_TRANSFER_ERROR */
    EMU_IN_TIMEOUT = 4, /* ... times out after half of its length */
    EMU_IN_UNPLUG = 5   /* the instrument is unplugged once `after_bytes` were delivered */
};
void emu_fail_bulk_in(int fault, long long after_bytes);

/* Damaged buffer-mode records in the next capture. */
enum emu_record_fault {
    EMU_REC_NONE = 0,
    EMU_REC_ZERO_RUN = 1, /* record `index` (counted over the capture) gets run length 0 */
    EMU_REC_BAD_CHECK = 2 /* 32-channel frame `index` gets check bytes that do not pair */
};
void emu_fail_record(int fault, int index);

/* Log of every control request and transfer. */
enum emu_log_kind {
    EMU_LOG_CONTROL = 1,
    EMU_LOG_BULK_OUT = 2,
    EMU_LOG_BULK_IN = 3, /* synchronous or asynchronous, logged at completion */
    EMU_LOG_OPEN = 4,
    EMU_LOG_CLOSE = 5,
    EMU_LOG_CLAIM = 6,
    EMU_LOG_RELEASE = 7,
    EMU_LOG_DETACH = 8,
    EMU_LOG_ALT_SETTING = 9,
    EMU_LOG_CANCEL = 10
};
typedef struct emu_log_entry {
    int kind;
    unsigned char request_type;
    unsigned char request;
    unsigned short value;
    unsigned short index;
    unsigned char endpoint;
    int length;  /* requested length */
    int result;  /* libusb result; for async transfers the status */
    int actual;  /* bytes moved */
    const unsigned char* data; /* bytes moved (bulk IN capped); valid until the next reset/clear */
    int data_len;
} emu_log_entry;
int emu_log_count(void);
/* Requests that break the documented protocol (register lengths, run
 * control values, request directions and sizes, the device ID key, bulk OUT
 * outside an FPGA load, a stream started before a bulk IN transfer was
 * queued) since the last reset or log clear. Copies the latest
 * message into `last` when given. */
int emu_protocol_violations(char* last, int len);
int emu_log_get(int index, emu_log_entry* out);
void emu_log_clear(void);
/* Bulk IN bytes kept per log entry (default 256). */
void emu_set_log_in_cap(int bytes);

#ifdef __cplusplus
}
#endif

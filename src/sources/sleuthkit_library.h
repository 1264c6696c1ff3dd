// Sleuthkit's library, loaded when the first disk image is opened. Linked at build time it would
// come with its forty-odd dependencies (libewf, libvmdk, libafflib, libcurl, GnuTLS, Kerberos …),
// which every run would load and relocate: some 15 ms, five times the work of a one-file run.
// Loaded on demand, only a run with -image pays for it.
#pragma once

#include <tsk/libtsk.h>

#include <string>

namespace runtrail {

// Every library function disk_image.cpp calls.
#define RUNTRAIL_SLEUTHKIT_FUNCTIONS(F)                                                                  \
    F(tsk_error_get) F(tsk_error_reset) F(tsk_img_open_utf8_sing) F(tsk_img_open_external) F(tsk_img_read) \
    F(tsk_img_close) F(tsk_vs_open) F(tsk_vs_part_get) F(tsk_vs_close) F(tsk_fs_open_img) F(tsk_fs_open_vol)  \
    F(tsk_fs_type_toname) F(tsk_fs_close) F(tsk_fs_dir_open_meta) F(tsk_fs_dir_getsize) F(tsk_fs_dir_get)    \
    F(tsk_fs_dir_close) F(tsk_fs_file_open_meta) F(tsk_fs_file_read) F(tsk_fs_file_close)

struct sleuthkit_functions {
#define RUNTRAIL_SLEUTHKIT_POINTER(name) decltype(&::name) name = nullptr;
    RUNTRAIL_SLEUTHKIT_FUNCTIONS(RUNTRAIL_SLEUTHKIT_POINTER)
#undef RUNTRAIL_SLEUTHKIT_POINTER
};

// Loads the library on the first call (from any thread); false, with why in `problem`, when it
// cannot be loaded or lacks a function.
bool load_sleuthkit(std::string& problem);

// The loaded library's functions; only after load_sleuthkit has returned true.
const sleuthkit_functions& sleuthkit();

}  // namespace runtrail

#include "disk_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string_view>

#include "sleuthkit_library.h"

namespace runtrail {
namespace {

constexpr uint64_t k_filetime_ticks_per_second = 10000000;
constexpr int64_t k_seconds_from_1601_to_1970 = 11644473600;
constexpr uint32_t k_nanoseconds_per_tick = 100;

// A BitLocker volume's boot sector carries this in place of the OEM name of an NTFS one.
constexpr char k_bitlocker_signature[] = "-FVE-FS-";
constexpr size_t k_oem_name_offset = 3;

// The library gives a time as Unix seconds and nanoseconds; NTFS keeps 100 ns ticks since 1601,
// which come back whole. The library's "no time" (0, 0) stays 0.
uint64_t filetime_of(time_t seconds, uint32_t nanoseconds) {
    if (seconds == 0 && nanoseconds == 0) return 0;
    const int64_t since_1601 = static_cast<int64_t>(seconds) + k_seconds_from_1601_to_1970;
    if (since_1601 < 0) return 0;
    return static_cast<uint64_t>(since_1601) * k_filetime_ticks_per_second + nanoseconds / k_nanoseconds_per_tick;
}

std::string library_problem(const char* fallback) {
    const char* text = sleuthkit().tsk_error_get();
    std::string problem = text && *text ? text : fallback;
    sleuthkit().tsk_error_reset();
    // The library's messages run over several lines; one line is said.
    std::replace(problem.begin(), problem.end(), '\n', ' ');
    while (!problem.empty() && problem.back() == ' ') problem.pop_back();
    return problem;
}

// An image held in memory, for the library's external-image interface: the library's record first.
struct memory_image {
    TSK_IMG_INFO info;
    const uint8_t* data;
    size_t size;
};

ssize_t read_memory_image(TSK_IMG_INFO* info, TSK_OFF_T offset, char* buffer, size_t length) {
    const auto* image = reinterpret_cast<const memory_image*>(info);
    if (offset < 0 || static_cast<uint64_t>(offset) >= image->size) return 0;
    const size_t count = std::min(length, image->size - static_cast<size_t>(offset));
    std::memcpy(buffer, image->data + offset, count);
    return static_cast<ssize_t>(count);
}

void close_memory_image(TSK_IMG_INFO* info) { delete reinterpret_cast<memory_image*>(info); }

void no_image_stat(TSK_IMG_INFO*, FILE*) {}

// The image's format from its own signature. The library's detection tries each format's reader in
// turn and does not free all of them when one refuses the file; naming the format avoids that.
constexpr std::string_view k_ewf_signature{"EVF\x09\x0D\x0A\xFF\x00", 8};
constexpr std::string_view k_vmdk_sparse_signature = "KDMV";
constexpr std::string_view k_vmdk_descriptor_signature = "# Disk DescriptorFile";
constexpr std::string_view k_vhd_signature = "conectix";  // a VHD's footer, copied to the front of a dynamic one
constexpr size_t k_vhd_footer_size = 512;

TSK_IMG_TYPE_ENUM image_format_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[32] = {};
    in.read(head, sizeof head);
    const std::string_view start(head, static_cast<size_t>(in.gcount()));
    auto begins_with = [&](std::string_view signature) { return start.substr(0, signature.size()) == signature; };
    if (begins_with(k_ewf_signature)) return TSK_IMG_TYPE_EWF_EWF;
    if (begins_with(k_vmdk_sparse_signature) || begins_with(k_vmdk_descriptor_signature)) return TSK_IMG_TYPE_VMDK_VMDK;
    if (begins_with(k_vhd_signature)) return TSK_IMG_TYPE_VHD_VHD;
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size >= static_cast<std::streamoff>(k_vhd_footer_size)) {
        char footer[8] = {};
        in.seekg(size - static_cast<std::streamoff>(k_vhd_footer_size));
        in.read(footer, sizeof footer);
        if (in.gcount() == sizeof footer && std::string_view(footer, sizeof footer) == k_vhd_signature)
            return TSK_IMG_TYPE_VHD_VHD;
    }
    return TSK_IMG_TYPE_RAW;  // a split raw image is found from its first part's name
}

}  // namespace

struct disk_image::handles {
    TSK_IMG_INFO* image = nullptr;
    TSK_VS_INFO* volume_system = nullptr;
    std::vector<TSK_FS_INFO*> file_systems;  // one per volume; nullptr for those not NTFS
    mutable std::mutex lock;

    ~handles() {
        for (TSK_FS_INFO* fs : file_systems)
            if (fs) sleuthkit().tsk_fs_close(fs);
        if (volume_system) sleuthkit().tsk_vs_close(volume_system);
        if (image) sleuthkit().tsk_img_close(image);
    }
};

disk_image::disk_image(std::unique_ptr<handles> h) : handles_(std::move(h)) { find_volumes(); }

disk_image::~disk_image() = default;

std::unique_ptr<disk_image> disk_image::open_file(const std::string& path, std::string& problem) {
    if (!load_sleuthkit(problem)) return nullptr;
    auto h = std::make_unique<handles>();
    sleuthkit().tsk_error_reset();
    // Split raw images and E01 segments are found from the first part's name.
    h->image = sleuthkit().tsk_img_open_utf8_sing(path.c_str(), image_format_of(path), 0);
    if (!h->image) {
        problem = library_problem("not a disk image this build can read");
        return nullptr;
    }
    return std::unique_ptr<disk_image>(new disk_image(std::move(h)));
}

std::unique_ptr<disk_image> disk_image::open_memory(const uint8_t* data, size_t size, std::string& problem) {
    if (!load_sleuthkit(problem)) return nullptr;
    auto h = std::make_unique<handles>();
    auto* image = new memory_image{};
    image->data = data;
    image->size = size;
    sleuthkit().tsk_error_reset();
    h->image = sleuthkit().tsk_img_open_external(image, static_cast<TSK_OFF_T>(size), 512, read_memory_image,
                                     close_memory_image, no_image_stat);
    if (!h->image) {
        delete image;
        problem = library_problem("the image cannot be opened");
        return nullptr;
    }
    return std::unique_ptr<disk_image>(new disk_image(std::move(h)));
}

void disk_image::find_volumes() {
    handles& h = *handles_;
    auto add_volume = [&](std::string label, uint64_t offset, TSK_FS_INFO* fs) {
        image_volume volume;
        volume.label = std::move(label);
        volume.offset = offset;
        if (fs) {
            volume.file_system = sleuthkit().tsk_fs_type_toname(fs->ftype);
            volume.ntfs = TSK_FS_TYPE_ISNTFS(fs->ftype);
            if (!volume.ntfs) {
                sleuthkit().tsk_fs_close(fs);
                fs = nullptr;
            }
        } else {
            char boot[16] = {};
            if (sleuthkit().tsk_img_read(h.image, static_cast<TSK_OFF_T>(offset), boot, sizeof boot) == sizeof boot &&
                std::memcmp(boot + k_oem_name_offset, k_bitlocker_signature, sizeof k_bitlocker_signature - 1) == 0)
                volume.encryption = "BitLocker";
        }
        sleuthkit().tsk_error_reset();
        volumes_.push_back(std::move(volume));
        h.file_systems.push_back(fs);
    };

    h.volume_system = sleuthkit().tsk_vs_open(h.image, 0, TSK_VS_TYPE_DETECT);
    if (!h.volume_system) {
        sleuthkit().tsk_error_reset();
        add_volume("p0", 0, sleuthkit().tsk_fs_open_img(h.image, 0, TSK_FS_TYPE_DETECT));
        return;
    }
    unsigned number = 0;
    for (TSK_PNUM_T i = 0; i < h.volume_system->part_count; ++i) {
        const TSK_VS_PART_INFO* part = sleuthkit().tsk_vs_part_get(h.volume_system, i);
        if (!part || !(part->flags & TSK_VS_PART_FLAG_ALLOC)) continue;
        const uint64_t offset = h.volume_system->offset + part->start * uint64_t{h.volume_system->block_size};
        add_volume("p" + std::to_string(++number), offset, sleuthkit().tsk_fs_open_vol(part, TSK_FS_TYPE_DETECT));
    }
    sleuthkit().tsk_error_reset();
}

uint64_t disk_image::root_entry(size_t volume) const {
    const TSK_FS_INFO* fs = handles_->file_systems.at(volume);
    return fs ? fs->root_inum : 0;
}

bool disk_image::list(size_t volume, uint64_t entry, std::vector<image_entry>& entries) const {
    entries.clear();
    std::lock_guard<std::mutex> hold(handles_->lock);
    TSK_FS_INFO* fs = handles_->file_systems.at(volume);
    if (!fs) return false;
    TSK_FS_DIR* dir = sleuthkit().tsk_fs_dir_open_meta(fs, entry);
    if (!dir) {
        sleuthkit().tsk_error_reset();
        return false;
    }
    const size_t count = sleuthkit().tsk_fs_dir_getsize(dir);
    for (size_t i = 0; i < count; ++i) {
        TSK_FS_FILE* file = sleuthkit().tsk_fs_dir_get(dir, i);
        if (!file) continue;
        const TSK_FS_NAME* name = file->name;
        const TSK_FS_META* meta = file->meta;
        // The library leaves out the entry of a deleted name whose sequence number moved on, which
        // freeing the entry does: it is opened here and judged below.
        TSK_FS_FILE* entry_file = nullptr;
        if (!meta && name && (name->flags & TSK_FS_NAME_FLAG_UNALLOC)) {
            entry_file = sleuthkit().tsk_fs_file_open_meta(fs, nullptr, name->meta_addr);
            if (entry_file) meta = entry_file->meta;
            sleuthkit().tsk_error_reset();
        }
        const bool virtual_entry = name && (name->type == TSK_FS_NAME_TYPE_VIRT || name->type == TSK_FS_NAME_TYPE_VIRT_DIR);
        if (name && name->name && !virtual_entry && std::strcmp(name->name, ".") != 0 &&
            std::strcmp(name->name, "..") != 0) {
            image_entry e;
            e.name = name->name;
            e.entry = name->meta_addr;
            e.name_unallocated = (name->flags & TSK_FS_NAME_FLAG_UNALLOC) != 0;
            e.directory = TSK_FS_IS_DIR_NAME(name->type);
            if (meta) {
                e.directory = e.directory || TSK_FS_IS_DIR_META(meta->type);
                e.entry_unallocated = (meta->flags & TSK_FS_META_FLAG_UNALLOC) != 0;
                // Windows adds one to an entry's sequence number when it frees it, so a deleted
                // file's name may be one behind its free entry; any other difference is a new file.
                const uint32_t after_free = name->meta_seq + 1;
                e.entry_reused = meta->seq != name->meta_seq && !(e.entry_unallocated && meta->seq == after_free);
                e.size = meta->size > 0 ? static_cast<uint64_t>(meta->size) : 0;
                e.modified = filetime_of(meta->mtime, meta->mtime_nano);
                e.accessed = filetime_of(meta->atime, meta->atime_nano);
                e.changed = filetime_of(meta->ctime, meta->ctime_nano);
                e.created = filetime_of(meta->crtime, meta->crtime_nano);
            } else {
                e.entry_unallocated = true;
                e.entry_reused = true;  // nothing of the file's entry can be read
            }
            entries.push_back(std::move(e));
        }
        if (entry_file) sleuthkit().tsk_fs_file_close(entry_file);
        sleuthkit().tsk_fs_file_close(file);
    }
    sleuthkit().tsk_fs_dir_close(dir);
    sleuthkit().tsk_error_reset();
    return true;
}

bool disk_image::read(size_t volume, uint64_t entry, uint64_t cap, std::vector<uint8_t>& buffer,
                      size_t& length) const {
    length = 0;
    std::lock_guard<std::mutex> hold(handles_->lock);
    TSK_FS_INFO* fs = handles_->file_systems.at(volume);
    if (!fs) return false;
    TSK_FS_FILE* file = sleuthkit().tsk_fs_file_open_meta(fs, nullptr, entry);
    if (!file || !file->meta || file->meta->size <= 0) {
        if (file) sleuthkit().tsk_fs_file_close(file);
        sleuthkit().tsk_error_reset();
        return false;
    }
    // The size is the entry's word, which a hostile image sets as it likes: the read stops at the cap.
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(file->meta->size), cap));
    if (buffer.size() < wanted) buffer.resize(wanted);
    const ssize_t got =
        sleuthkit().tsk_fs_file_read(file, 0, reinterpret_cast<char*>(buffer.data()), wanted, TSK_FS_FILE_READ_FLAG_NONE);
    sleuthkit().tsk_fs_file_close(file);
    sleuthkit().tsk_error_reset();
    if (got <= 0 || static_cast<size_t>(got) != wanted) return false;
    length = wanted;
    return true;
}

}  // namespace runtrail

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varnolet {

// Writes a whole file so that the final path either holds the complete contents or is not
// touched: the bytes go to a hidden temporary file in the same folder, which is then renamed
// onto the final name. Unless overwriting is asked for, an existing file is never replaced.
// Every program file that is written whole (photos, settings, key stores) goes through here.
class AtomicFile
{
public:
    enum class Mode { KeepExisting, Overwrite };

    // 0 on success, else the errno of the step that failed (EEXIST when the path exists
    // and Mode::KeepExisting). No temporary file is left behind on failure.
    static int write(const std::string &path, const uint8_t *data, size_t size,
                     Mode mode = Mode::KeepExisting);

    // Replaces a file the program keeps (settings, property lists): a symbolic link is
    // followed to the file it names, the old file's permission bits are kept (0644 for a new
    // file), and the bytes reach the disk before the rename, so a crash leaves either the old
    // or the new contents. 0 on success, else the errno of the step that failed; the old file
    // is then untouched and no temporary file is left behind.
    static int replace(const std::string &path, std::string_view bytes);

    // The two halves of write() for writers that produce the file themselves: a new empty
    // hidden file beside path (its name in temporaryPath; the descriptor is answered, or
    // -errno), and the rename onto path (0 or errno; the temporary file is removed on
    // failure).
    static int createTemporary(const std::string &path, std::string &temporaryPath);
    static int commit(const std::string &temporaryPath, const std::string &path, Mode mode);
    // Renames from onto to unless something exists there: 0, EEXIST, or another errno.
    static int renameKeepingExisting(const std::string &from, const std::string &to);
};

} // namespace varnolet

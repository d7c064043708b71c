// Files dropped on the studio's page, kept for one run of the studio. A browser gives the page a
// dropped file's name and bytes but never its folder, so the page sends the bytes and the host
// keeps them here to open them: a private folder (mode 0700) made on the first upload, one
// subfolder per drop so that a scene and its companion files (a mesh file, a glTF's buffers) sit
// side by side and two drops of one name do not mix. Destroying the folder removes everything in
// it. The host writes nothing here but the uploads themselves. The server writes an upload's bytes
// as they arrive into a new file of the folder's "incoming" subfolder (the one thing safe from
// any thread), and the host thread moves the file into its drop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vhost::studio {

// The largest file one upload takes.
inline constexpr std::size_t kUploadLimit = std::size_t{1} << 30;

// Why `name` cannot be a file's name in a drop: it must be a plain file name of well-formed UTF-8,
// 1 to 255 bytes, without '/' or '\', control characters, and not "." or "..". None when it can.
std::optional<std::string> FileNameProblem(std::string_view name);

class UploadFolder {
public:
    // The folder is made in `parent` (the system's temporary folder when empty) when first needed.
    explicit UploadFolder(std::filesystem::path parent = {});
    ~UploadFolder();
    UploadFolder(const UploadFolder&) = delete;
    UploadFolder& operator=(const UploadFolder&) = delete;

    // Makes the folder of a new drop and answers its number (1, 2, ...); none, with `problem`
    // set, when the folder cannot be made.
    std::optional<std::int32_t> NewDrop(std::string& problem);
    bool HasDrop(std::int32_t drop) const { return drop >= 1 && drop <= drops_; }
    // Where the file `name` of the drop is, whether or not it was uploaded. [HasDrop(drop), name
    // without FileNameProblem]
    std::filesystem::path FileOf(std::int32_t drop, std::string_view name) const;
    // Writes `bytes` as the new file `name` (mode 0600) of the drop; a file of that name that is
    // there already is never replaced. Answers what went wrong (nothing is left behind then),
    // empty on success. [HasDrop(drop), name without FileNameProblem]
    std::string Keep(std::int32_t drop, std::string_view name, std::string_view bytes) const;
    // Moves `incoming` (a file of NewIncoming) to be the new file `name` (mode 0600) of the drop;
    // as Keep otherwise. [HasDrop(drop), name without FileNameProblem]
    std::string KeepIncoming(std::int32_t drop, std::string_view name,
                             const std::filesystem::path& incoming) const;
    // Where the server writes the bytes of the next upload: a new name in the incoming folder, no
    // file yet. None, with `problem` set, when the folders cannot be made. Safe from any thread.
    std::optional<std::filesystem::path> NewIncoming(std::string& problem);
    // `text` with every mention of the drop's folder taken out, so that a message about a file in
    // it names the file as the person dropped it.
    std::string WithoutFolder(std::int32_t drop, std::string text) const;

private:
    std::filesystem::path DropFolder(std::int32_t drop) const;
    // The folder, made on the first call. [mutex_ held]
    std::optional<std::filesystem::path> Root(std::string& problem);

    std::filesystem::path parent_;
    mutable std::mutex mutex_;
    std::filesystem::path root_;  // empty until the first drop or upload
    std::uint64_t incoming_ = 0;
    std::int32_t drops_ = 0;
};

}  // namespace vhost::studio

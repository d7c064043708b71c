#include "cli/object_paths.h"

#include <algorithm>
#include <charconv>

#include "text/quoting.h"

namespace vhost::cli {

namespace {

constexpr std::size_t kMaxCandidatesListed = 8;

std::string DescribeCandidates(const std::vector<Object*>& objects) {
    std::string text;
    std::size_t listed = 0;
    for (const Object* object : objects) {
        if (listed == kMaxCandidatesListed) {
            text += ", ... (" + std::to_string(objects.size() - listed) + " more)";
            break;
        }
        text += (listed == 0 ? "" : ", ") +
                ("@" + std::to_string(object->Id()) + " " + PathOf(*object));
        ++listed;
    }
    return text;
}

// The object and the ones after it on its level. Objects link to each other without const: a
// path names an object that the caller may then change.
std::vector<Object*> ChainFrom(Object* first) {
    std::vector<Object*> chain;
    for (Object* o = first; o != nullptr; o = o->Next()) {
        chain.push_back(o);
    }
    return chain;
}

ObjectLookup FindById(const Document& document, std::string_view digits) {
    ObjectId id = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
        return {nullptr,
                Quoted("@" + std::string(digits)) + " is not an object id (expected @ and digits)"};
    }
    Object* object = document.FindById(id);
    if (object == nullptr) {
        return {nullptr, "no object has the id @" + std::string(digits)};
    }
    return {object, {}};
}

}  // namespace

std::string PathOf(const Object& object) {
    std::vector<const std::string*> names;
    for (const Object* o = &object; o != nullptr; o = o->Up()) {
        names.push_back(&o->Name());
    }
    std::reverse(names.begin(), names.end());  // from the top down
    std::string path;
    for (const std::string* name : names) {
        if (!path.empty()) {
            path += '/';
        }
        path += *name;
    }
    return path;
}

ObjectLookup FindObject(const Document& document, std::string_view path) {
    if (!path.empty() && path.front() == '@') {
        return FindById(document, path.substr(1));
    }
    if (!path.empty() && path.front() == '/') {
        path.remove_prefix(1);
    }
    if (path.empty()) {
        return {nullptr, "an empty path names no object"};
    }
    // Walk level by level, keeping every object that matches so far.
    std::vector<Object*> level = ChainFrom(document.FirstObject());
    std::vector<Object*> matches;
    std::string walked;
    for (std::size_t start = 0;;) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view name = path.substr(start, slash - start);
        matches.clear();
        for (Object* o : level) {
            if (o->Name() == name) {
                matches.push_back(o);
            }
        }
        if (matches.empty()) {
            const std::string where = walked.empty() ? "at the top" : "under " + Quoted(walked);
            return {nullptr, "no object " + Quoted(name) + " " + where +
                                 (level.empty() ? " (there is none)"
                                                : "; there are: " + DescribeCandidates(level))};
        }
        walked += (walked.empty() ? "" : "/") + std::string(name);
        if (slash == path.size()) {
            break;
        }
        level.clear();
        for (const Object* o : matches) {
            for (Object* child : ChainFrom(o->Down())) {
                level.push_back(child);
            }
        }
        start = slash + 1;
    }
    if (matches.size() > 1) {
        return {nullptr, Quoted(path) + " names " + std::to_string(matches.size()) +
                             " objects: " + DescribeCandidates(matches) + "; name one by its id"};
    }
    return {matches.front(), {}};
}

}  // namespace vhost::cli

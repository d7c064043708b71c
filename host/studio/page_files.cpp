#include "studio/page_files.h"

#include <system_error>

#include "platform/file_reading.h"
#include "platform/utf8_path.h"
#include "studio/request_errors.h"
#include "text/ascii.h"

namespace vhost::studio {

namespace {

bool SafeSegment(std::string_view segment) {
    if (segment.empty() || segment == "." || segment == "..") return false;
    return segment.find_first_of(std::string_view("\\:%\0", 4)) == std::string_view::npos;
}

bool Inside(const std::filesystem::path& file, const std::filesystem::path& folder) {
    auto f = file.begin();
    for (auto d = folder.begin(); d != folder.end(); ++d, ++f) {
        if (d->empty()) continue;  // a trailing separator
        if (f == file.end() || *f != *d) return false;
    }
    return true;
}

std::string HtmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::optional<std::filesystem::path> PageFile(const std::filesystem::path& folder,
                                              const std::string& requestPath) {
    if (requestPath.empty() || requestPath.front() != '/') return std::nullopt;
    std::filesystem::path file = folder;
    std::size_t start = 1;
    while (start <= requestPath.size()) {
        std::size_t end = requestPath.find('/', start);
        if (end == std::string::npos) end = requestPath.size();
        const std::string_view segment(requestPath.data() + start, end - start);
        if (!SafeSegment(segment)) return std::nullopt;
        file /= PathFromUtf8(std::string(segment));
        start = end + 1;
    }
    std::error_code error;
    const std::filesystem::path realFolder = std::filesystem::canonical(folder, error);
    if (error) return std::nullopt;
    const std::filesystem::path realFile = std::filesystem::weakly_canonical(file, error);
    if (error || !Inside(realFile, realFolder)) return std::nullopt;
    return realFile;
}

// The HTTP library compresses answers of the types text/* and exactly "application/javascript" or
// "application/json" with the slowest setting of Brotli when the browser accepts it: 0.8 s for
// the page's script on every load, for nothing on loopback. The script is therefore sent as
// "application/javascript; charset=utf-8" (a JavaScript type as valid as text/javascript, which
// the library leaves alone); the small HTML and CSS files are not worth the exception.
std::string ContentTypeOf(const std::filesystem::path& file) {
    const std::string extension = AsciiLower(Utf8FromPath(file.extension()));
    if (extension == ".html") return "text/html; charset=utf-8";
    if (extension == ".js" || extension == ".mjs") return "application/javascript; charset=utf-8";
    if (extension == ".css") return "text/css; charset=utf-8";
    if (extension == ".json" || extension == ".map") return kJsonContentType;
    if (extension == ".svg") return "image/svg+xml";
    if (extension == ".png") return "image/png";
    if (extension == ".bmp") return "image/bmp";
    if (extension == ".woff2") return "font/woff2";
    if (extension == ".pdf") return "application/pdf";
    if (extension == ".txt") return "text/plain; charset=utf-8";
    return "application/octet-stream";
}

HttpResponse FileResponse(const std::filesystem::path& file) {
    HttpResponse response;
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error) ||
        ReadWholeFile(file, response.body).error != 0) {
        return ErrorResponse(404, "There is no file " + Utf8FromPath(file.filename()) + ".");
    }
    response.contentType = ContentTypeOf(file);
    return response;
}

HttpResponse PageNotBuiltResponse(const std::filesystem::path& folder) {
    HttpResponse response;
    response.contentType = "text/html; charset=utf-8";
    response.body =
        "<!doctype html>\n<meta charset=\"utf-8\">\n<title>Vela studio</title>\n"
        "<h1>The studio's page was not built</h1>\n<p>The host is running and answers at "
        "<code>/api/state</code>, but there is no <code>index.html</code> in <code>" +
        HtmlEscaped(Utf8FromPath(folder)) +
        "</code>. Build the page (web/) or give its folder with <code>--page DIR</code>.</p>\n";
    return response;
}

}  // namespace vhost::studio

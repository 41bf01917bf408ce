#include "server/web/play_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view indexName = "index.html";
constexpr std::string_view gzipSuffix = ".gz";

// WebAssembly compiled from bytes needs 'wasm-unsafe-eval', and its threads
// need workers and a cross-origin isolated page; nothing else is loosened
// from what the table's pages allow, and only these answers carry it.
constexpr std::string_view playSecurityPolicy =
    "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; worker-src 'self' blob:; "
    "connect-src 'self'; img-src 'self' data: blob:; media-src 'self' blob: data:; style-src 'self'; "
    "object-src 'none'; base-uri 'none'; frame-ancestors 'none'";

bool IsPlainName(std::string_view name) {
    return !name.empty() && name.front() != '.' && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '_' || c == '-';
    });
}

std::string_view TypeOf(std::string_view name) {
    const std::string_view extension = name.substr(std::min(name.rfind('.'), name.size()));
    if (extension == ".html") return "text/html; charset=utf-8";
    if (extension == ".js") return "text/javascript";
    if (extension == ".wasm") return "application/wasm";
    if (extension == ".ogg") return "audio/ogg";
    if (extension == ".css") return "text/css";
    return "application/octet-stream";
}

// Cross-origin isolation (for SharedArrayBuffer, which threads need) on
// every answer under /play/, errors too: the page and each of its parts.
std::vector<WebHeader> PlayHeaders() {
    return {{"Content-Security-Policy", playSecurityPolicy},
            {"Cross-Origin-Opener-Policy", "same-origin"},
            {"Cross-Origin-Embedder-Policy", "require-corp"},
            {"Cross-Origin-Resource-Policy", "same-origin"},
            {"X-Content-Type-Options", "nosniff"},
            {"Referrer-Policy", "no-referrer"}};
}

PlayReply NotFound() {
    PlayReply reply{404, PlayHeaders(), {}, "not found\n"};
    reply.headers.push_back({"Content-Type", "text/plain"});
    reply.headers.push_back({"Cache-Control", "no-store"});
    return reply;
}

bool ReadWhole(const fs::path& path, std::size_t size, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    bytes.resize(size);
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    // A file that grew while it was read is read again next start.
    return in.gcount() == static_cast<std::streamsize>(size) &&
           in.peek() == std::ifstream::traits_type::eof();
}

// Only printable ASCII goes back out in a header; anything else in the
// query is dropped rather than echoed.
bool IsHeaderSafe(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 127; });
}

std::string_view TrimmedOws(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x - 'A' + 'a' : x) ==
                      (y >= 'A' && y <= 'Z' ? y - 'A' + 'a' : y);
           });
}

// "q=0", "q=0.", "q=0.000" and the like, which refuse a coding.
bool IsZeroWeight(std::string_view parameter) {
    parameter = TrimmedOws(parameter);
    if (parameter.size() < 3 || (parameter[0] != 'q' && parameter[0] != 'Q') || parameter[1] != '=')
        return false;
    const std::string_view value = parameter.substr(2);
    return value[0] == '0' && value.find_first_not_of('0', value.size() > 1 && value[1] == '.' ? 2 : 1) ==
                                  std::string_view::npos;
}

}  // namespace

bool AcceptsGzip(std::string_view acceptEncoding) {
    if (acceptEncoding.size() > 4096) return false;
    int gzip = -1;  // -1: not named; 0: refused; 1: taken
    int any = -1;
    while (!acceptEncoding.empty()) {
        const std::size_t comma = acceptEncoding.find(',');
        const std::string_view item = acceptEncoding.substr(0, comma);
        acceptEncoding =
            comma == std::string_view::npos ? std::string_view() : acceptEncoding.substr(comma + 1);
        const std::size_t semicolon = item.find(';');
        const std::string_view coding = TrimmedOws(item.substr(0, semicolon));
        const bool refused = semicolon != std::string_view::npos && IsZeroWeight(item.substr(semicolon + 1));
        if (EqualsNoCase(coding, "gzip") || EqualsNoCase(coding, "x-gzip")) {
            gzip = refused ? 0 : std::max(gzip, 1);
        } else if (coding == "*") {
            any = refused ? 0 : 1;
        }
    }
    return gzip >= 0 ? gzip == 1 : any == 1;
}

bool PlayFiles::Load(const std::string& folder, std::string& error) {
    files.clear();
    std::map<std::string, File, std::less<>> read;
    std::size_t total = 0;
    std::error_code code;
    fs::directory_iterator entries(folder, code);
    for (; !code && entries != fs::directory_iterator(); entries.increment(code)) {
        const fs::directory_entry& entry = *entries;
        const std::string name = entry.path().filename().string();
        std::error_code ignored;
        if (!IsPlainName(name) || !entry.is_regular_file(ignored)) continue;
        const std::uintmax_t size = entry.file_size(code);
        if (code) break;
        if (size > maxPlayFileBytes || total + size > maxPlayFolderBytes) {
            error = (size > maxPlayFileBytes ? name + " is over " : "the files are over ") +
                    std::to_string(size > maxPlayFileBytes ? maxPlayFileBytes : maxPlayFolderBytes) +
                    " bytes";
            return false;
        }
        total += size;
        File& file = read[name];
        if (!ReadWhole(entry.path(), size, file.bytes)) {
            error = "cannot read " + entry.path().string();
            return false;
        }
    }
    if (code) {
        error = "cannot read " + folder + ": " + code.message();
        return false;
    }
    if (!read.contains(indexName)) {
        error = folder + " holds no " + std::string(indexName);
        return false;
    }
    for (auto& [name, file] : read) {
        file.type = TypeOf(name);
        file.etag = BodyEtag("play", file.bytes);
        const auto twin = read.find(name + std::string(gzipSuffix));
        // A twin that is no gzip stream, or no smaller, is not worth a Vary.
        const bool usable = twin != read.end() && twin->second.bytes.starts_with("\x1f\x8b") &&
                            twin->second.bytes.size() < file.bytes.size();
        if (!usable) continue;
        file.gzip = twin->second.bytes;
        file.gzipEtag = BodyEtag("playgz", file.gzip);
    }
    files = std::move(read);
    return true;
}

PlayReply PlayFiles::Answer(std::string_view rest, bool gzipAccepted, std::string_view ifNoneMatch) const {
    if (files.empty()) return NotFound();
    if (rest.empty() || rest.front() == '?') {
        PlayReply reply{301, PlayHeaders(), "play/", {}};
        if (rest.size() > 1 && IsHeaderSafe(rest)) reply.location += rest;
        reply.headers.push_back({"Content-Type", "text/plain"});
        return reply;
    }
    std::string_view name = rest.substr(1, rest.find('?') - 1);
    if (name.empty()) name = indexName;
    const auto found = IsPlainName(name) ? files.find(name) : files.end();
    if (found == files.end()) return NotFound();
    const File& file = found->second;
    const bool zipped = gzipAccepted && !file.gzip.empty();
    const std::string& etag = zipped ? file.gzipEtag : file.etag;
    const bool current = !ifNoneMatch.empty() && EtagMatches(ifNoneMatch, etag);
    PlayReply reply{current ? 304 : 200, PlayHeaders(), {}, {}};
    reply.headers.push_back({"Content-Type", file.type});
    // Checked each time, so a new build reaches every player at once.
    reply.headers.push_back({"Cache-Control", "no-cache"});
    reply.headers.push_back({"ETag", etag});
    if (!file.gzip.empty()) reply.headers.push_back({"Vary", "Accept-Encoding"});
    if (zipped) reply.headers.push_back({"Content-Encoding", "gzip"});
    if (!current) reply.body = zipped ? file.gzip : file.bytes;
    return reply;
}

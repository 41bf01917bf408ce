// The game built for the browser, served at /play/: its files read once from
// a folder into memory, and the answer to each request for them, apart from
// any socket. Nothing here touches the file system after loading.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "server/web/web_headers.h"

// Bounds on what a folder may hold: the game's download is a few MB, and
// anything far past it is a wrong folder, not a game.
inline constexpr std::size_t maxPlayFileBytes = std::size_t{32} << 20;
inline constexpr std::size_t maxPlayFolderBytes = std::size_t{64} << 20;

// One answer under /play/. Every view (header values, body) points into
// static storage or into the PlayFiles that made it, which must outlive it.
struct PlayReply {
    int status = 200;  // 200, 301, 304 or 404
    std::vector<WebHeader> headers;
    std::string location;   // for 301: where to, relative to the request; else empty
    std::string_view body;  // empty for 301 and 304
};

// True when an Accept-Encoding header value takes gzip: named (or as "x-gzip",
// or by "*" when gzip is not named) with a weight other than 0. Absent or
// malformed: false, so the plain file goes out.
bool AcceptsGzip(std::string_view acceptEncoding);

class PlayFiles {
public:
    // Reads the regular files of `folder` whose names are plain
    // ([A-Za-z0-9._-], not starting with '.'); anything else there is left
    // alone. NAME.gz beside NAME is NAME gzip-compressed. False, with the
    // reason in error and nothing kept, when the folder cannot be read, holds
    // no index.html, or a file is over maxPlayFileBytes or all of them over
    // maxPlayFolderBytes.
    bool Load(const std::string& folder, std::string& error);

    // The answer to GET or HEAD of a target that began with ".../play":
    // `rest` is what follows it, query included ("", "?watch=3", "/",
    // "/munchet.wasm"). "" and "?..." redirect to "play/" (the page's own
    // relative links need the slash); "/" and "/index.html" are the page;
    // an unknown or unplain name, or anything at all before Load, is 404.
    // ifNoneMatch: that header's value, empty when absent.
    PlayReply Answer(std::string_view rest, bool gzipAccepted, std::string_view ifNoneMatch) const;

private:
    struct File {
        std::string bytes;
        std::string etag;
        std::string gzip;  // the compressed twin, empty: none (or not smaller)
        std::string gzipEtag;
        std::string_view type;
    };
    std::map<std::string, File, std::less<>> files;
};

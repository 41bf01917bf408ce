#include "scores/curl_library.h"

#include <dlfcn.h>

#include <cstdio>

namespace {

// The library's file name by its ABI version, as the dynamic loader knows it.
constexpr const char* LibraryName = "libcurl.so.4";

template <typename Function>
bool Find(void* library, const char* name, Function& out) {
    out = reinterpret_cast<Function>(dlsym(library, name));
    return out != nullptr;
}

const CurlLibrary* Open() {
    void* library = dlopen(LibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "munchet: no score server without libcurl: %s\n", dlerror());
        return nullptr;
    }
    static CurlLibrary curl;
    decltype(&curl_global_init) globalInit = nullptr;
    const bool found =
        Find(library, "curl_global_init", globalInit) && Find(library, "curl_easy_init", curl.easyInit) &&
        Find(library, "curl_easy_cleanup", curl.easyCleanup) &&
        Find(library, "curl_easy_setopt", curl.easySetopt) &&
        Find(library, "curl_easy_getinfo", curl.easyGetinfo) &&
        Find(library, "curl_easy_escape", curl.easyEscape) && Find(library, "curl_free", curl.free) &&
        Find(library, "curl_easy_strerror", curl.easyStrerror) &&
        Find(library, "curl_slist_append", curl.slistAppend) &&
        Find(library, "curl_slist_free_all", curl.slistFreeAll) &&
        Find(library, "curl_multi_init", curl.multiInit) &&
        Find(library, "curl_multi_cleanup", curl.multiCleanup) &&
        Find(library, "curl_multi_add_handle", curl.multiAddHandle) &&
        Find(library, "curl_multi_remove_handle", curl.multiRemoveHandle) &&
        Find(library, "curl_multi_perform", curl.multiPerform) &&
        Find(library, "curl_multi_poll", curl.multiPoll) &&
        Find(library, "curl_multi_info_read", curl.multiInfoRead);
    if (!found) {
        std::fprintf(stderr, "munchet: %s lacks a function the score client needs\n", LibraryName);
        return nullptr;
    }
    // Once per process: it is not safe while another thread uses libcurl.
    if (globalInit(CURL_GLOBAL_ALL) != CURLE_OK) {
        std::fprintf(stderr, "munchet: libcurl would not start\n");
        return nullptr;
    }
    // The library stays open for the rest of the run.
    return &curl;
}

}  // namespace

const CurlLibrary* Curl() {
    static const CurlLibrary* const curl = Open();
    return curl;
}

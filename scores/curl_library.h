// libcurl, opened when the first request is made instead of at start-up.
// Linked to the program, it and the two dozen libraries it pulls in (TLS,
// Kerberos, LDAP, ...) cost every start of the game about 15 ms, for a client
// that talks only when a game has ended. Every libcurl call of the score
// client goes through the table below; calling libcurl directly would not
// link.
#pragma once

#include <curl/curl.h>

struct CurlLibrary {
    decltype(&curl_easy_init) easyInit;
    decltype(&curl_easy_cleanup) easyCleanup;
    decltype(&curl_easy_setopt) easySetopt;
    decltype(&curl_easy_getinfo) easyGetinfo;
    decltype(&curl_easy_escape) easyEscape;
    decltype(&curl_free) free;
    decltype(&curl_easy_strerror) easyStrerror;
    decltype(&curl_slist_append) slistAppend;
    decltype(&curl_slist_free_all) slistFreeAll;
    // The multi interface: a transfer that can be given up between short waits.
    decltype(&curl_multi_init) multiInit;
    decltype(&curl_multi_cleanup) multiCleanup;
    decltype(&curl_multi_add_handle) multiAddHandle;
    decltype(&curl_multi_remove_handle) multiRemoveHandle;
    decltype(&curl_multi_perform) multiPerform;
    decltype(&curl_multi_poll) multiPoll;
    decltype(&curl_multi_info_read) multiInfoRead;
};

// The library, opened and globally initialised on the first call (which must
// not race another thread's use of libcurl); null, with one line on stderr,
// when it cannot be had. Later calls answer at once.
const CurlLibrary* Curl();

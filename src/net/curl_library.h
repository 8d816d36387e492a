#pragma once

#include <curl/curl.h>

namespace halvark::net {

// libcurl's functions, resolved when the first request is made: linked at build time, the
// library and its own dependencies would be mapped and relocated before the first frame,
// though the sign-in page needs no network at all.
struct CurlLibrary {
    decltype(&curl_global_init) global_init;
    decltype(&curl_easy_init) easy_init;
    decltype(&curl_easy_cleanup) easy_cleanup;
    decltype(&curl_easy_setopt) easy_setopt;
    decltype(&curl_easy_getinfo) easy_getinfo;
    decltype(&curl_multi_init) multi_init;
    decltype(&curl_multi_cleanup) multi_cleanup;
    decltype(&curl_multi_setopt) multi_setopt;
    decltype(&curl_multi_add_handle) multi_add_handle;
    decltype(&curl_multi_remove_handle) multi_remove_handle;
    decltype(&curl_multi_socket_action) multi_socket_action;
    decltype(&curl_multi_info_read) multi_info_read;
    decltype(&curl_slist_append) slist_append;
    decltype(&curl_slist_free_all) slist_free_all;
};

// The loaded library, or nullptr (and one log line) when it cannot be loaded.
const CurlLibrary* curl_library();

}  // namespace halvark::net

#include "net/curl_library.h"

#include <QDebug>
#include <QLibrary>
#include <QStringList>
#include <QtGlobal>

namespace halvark::net {

namespace {

// The name the Windows package ships first, then the names other builds of it take.
QStringList library_names() {
#ifdef Q_OS_WIN
    return {QStringLiteral("libcurl"), QStringLiteral("libcurl-4"), QStringLiteral("libcurl-x64")};
#else
    return {QStringLiteral("libcurl.so.4")};
#endif
}

template <typename Function>
bool resolve(QLibrary& library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

const CurlLibrary* load() {
    static QLibrary library;
    for (const QString& name : library_names()) {
        library.setFileName(name);
        if (library.load()) {
            break;
        }
    }
    static CurlLibrary curl{};
    const bool complete = library.isLoaded() &&
                          resolve(library, "curl_global_init", curl.global_init) &&
                          resolve(library, "curl_easy_init", curl.easy_init) &&
                          resolve(library, "curl_easy_cleanup", curl.easy_cleanup) &&
                          resolve(library, "curl_easy_setopt", curl.easy_setopt) &&
                          resolve(library, "curl_easy_getinfo", curl.easy_getinfo) &&
                          resolve(library, "curl_multi_init", curl.multi_init) &&
                          resolve(library, "curl_multi_cleanup", curl.multi_cleanup) &&
                          resolve(library, "curl_multi_setopt", curl.multi_setopt) &&
                          resolve(library, "curl_multi_add_handle", curl.multi_add_handle) &&
                          resolve(library, "curl_multi_remove_handle", curl.multi_remove_handle) &&
                          resolve(library, "curl_multi_socket_action", curl.multi_socket_action) &&
                          resolve(library, "curl_multi_info_read", curl.multi_info_read) &&
                          resolve(library, "curl_slist_append", curl.slist_append) &&
                          resolve(library, "curl_slist_free_all", curl.slist_free_all);
    if (!complete) {
        qWarning().noquote() << "No HTTP client: libcurl could not be loaded:"
                             << library.errorString();
        return nullptr;
    }
    if (curl.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        qWarning("No HTTP client: libcurl could not be initialised");
        return nullptr;
    }
    return &curl;
}

}  // namespace

const CurlLibrary* curl_library() {
    static const CurlLibrary* const loaded = load();
    return loaded;
}

}  // namespace halvark::net

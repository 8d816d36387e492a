#pragma once

#include <QApplication>
#include <QByteArray>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

// One application object and one private APPDATA for the whole fuzzing run.
inline void fuzz_environment() {
    static QTemporaryDir appdata;
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("APPDATA", appdata.path().toUtf8());
        new QApplication(argc, argv);
    }
}

inline QByteArray fuzz_bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

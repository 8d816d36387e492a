#include "app/translator.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <optional>

#include "outside/outside_data.h"

namespace halvark::app {

namespace {

constexpr qint64 kMaxTranslationFileBytes = 1LL << 20;

std::optional<QHash<QString, QString>> load_table(const QString& code) {
    const QString file_name = code + ".json";
    const QString app_dir = QCoreApplication::applicationDirPath();
    const QString candidates[] = {
        QDir::currentPath() + "/lang/" + file_name,
        app_dir + "/lang/" + file_name,
        app_dir + "/../lang/" + file_name,
    };

    for (const QString& path : candidates) {
        // The first file that can be read decides, even when it turns out unusable.
        if (const auto content = outside::read_regular_file(path, kMaxTranslationFileBytes)) {
            return parse_translation_table(*content);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<QHash<QString, QString>> parse_translation_table(const QByteArray& content) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(content, &error);
    if (content.isEmpty() || error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    QHash<QString, QString> table;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isString()) {
            table.insert(it.key(), it.value().toString());
        }
    }
    if (table.isEmpty()) {
        return std::nullopt;
    }
    return table;
}

Translator& Translator::instance() {
    static Translator translator;
    return translator;
}

bool Translator::set_language(const QString& code) {
    auto table = load_table(code);
    if (!table) {
        return false;
    }
    table_ = std::move(*table);
    language_ = code;
    install_toolkit_translation(code);
    return true;
}

void Translator::install_toolkit_translation(const QString& code) {
    if (QCoreApplication::instance() == nullptr) {
        return;
    }
    if (toolkit_translation_) {
        QCoreApplication::removeTranslator(toolkit_translation_.get());
        toolkit_translation_.reset();
    }
    auto translation = std::make_unique<QTranslator>();
    if (translation->load("qtbase_" + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translation.get());
        toolkit_translation_ = std::move(translation);
    }
}

QString Translator::tr(const QString& key) const {
    const auto it = table_.constFind(key);
    return it == table_.cend() ? key : it.value();
}

}  // namespace halvark::app

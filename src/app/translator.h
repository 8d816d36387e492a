#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QTranslator>
#include <memory>
#include <optional>

namespace halvark::app {

// Process-wide table of interface texts, one JSON file per language in a lang/ folder.
// Used from the GUI thread only; only its creation is guarded.
class Translator {
  public:
    static Translator& instance();

    QString language() const { return language_; }
    // True when the file for `code` was found, parsed and held at least one text.
    bool set_language(const QString& code);
    // The text for `key` in the current language, or `key` itself.
    QString tr(const QString& key) const;

  private:
    Translator() = default;

    // The toolkit's own texts (dialog buttons, the folder chooser) in the same language.
    void install_toolkit_translation(const QString& code);

    QString language_ = QStringLiteral("ru");
    QHash<QString, QString> table_;
    std::unique_ptr<QTranslator> toolkit_translation_;
};

// The string members of a translation file's top-level object; none when the content is
// empty, not a JSON object, or holds no string member.
std::optional<QHash<QString, QString>> parse_translation_table(const QByteArray& content);

inline QString tr(const QString& key) {
    return Translator::instance().tr(key);
}

}  // namespace halvark::app

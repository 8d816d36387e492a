#include "ui/screens/profile_screen.h"

#include <QColor>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QVBoxLayout>

#include "app/translator.h"
#include "outside/outside_data.h"
#include "ui/components/app_button.h"
#include "ui/components/sub_page_header.h"

namespace halvark::ui::screens {

namespace {

// Rows past this are summarised in one line: each row is a widget of its own.
constexpr qsizetype kMaxShownRoles = 100;

QString service_line(const QString& text) {
    return outside::cut_service_text(text, outside::kServiceLineChars);
}

QString string_or_dash(const QJsonValue& value) {
    return value.isString() ? service_line(value.toString()) : QStringLiteral("-");
}

QString yes_no(bool value) {
    return app::tr(value ? "profile.yes" : "profile.no");
}

bool is_valid_colour(const QString& colour) {
    return !colour.isEmpty() && QColor::isValidColorName(colour);
}

QLabel* plain_label(QWidget* parent) {
    auto* label = new QLabel(parent);
    // Everything on these lines comes from the service.
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

ProfileScreen::ProfileScreen(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);

    const auto header = components::add_sub_page_header(this, layout, on_back);
    back_button = header.back_button;
    title_label = header.title_label;
    name_label = plain_label(this);
    name_label->setStyleSheet("color: #82c1ff; font-size: 18px; font-weight: 700;");
    layout->addWidget(name_label);

    auto* card = new QWidget(this);
    card->setObjectName("profile_card");
    // Scoped to the card: unscoped, the frame would be drawn around every line in it too.
    card->setAttribute(Qt::WA_StyledBackground);
    card->setStyleSheet(
        "#profile_card {background: #0f1828; border: 1px solid #2b3f5c; border-radius: 10px;}");
    auto* card_layout = new QVBoxLayout(card);
    card_layout->setContentsMargins(12, 12, 12, 12);
    card_layout->setSpacing(8);
    email_label = plain_label(card);
    uuid_label = plain_label(card);
    role_label = new QLabel(card);
    money_label = plain_label(card);
    flags_label = new QLabel(card);
    flags_label->setWordWrap(true);
    for (QLabel* label : {email_label, uuid_label, role_label, money_label, flags_label}) {
        card_layout->addWidget(label);
    }
    layout->addWidget(card);

    roles_title_label = new QLabel(this);
    roles_title_label->setStyleSheet("font-size: 16px; font-weight: 700; color: #f3f7ff;");
    layout->addWidget(roles_title_label);
    roles_list = new QListWidget(this);
    roles_list->setMinimumHeight(220);
    roles_list->setStyleSheet(
        "QListWidget { background: #0f1828; border: 1px solid #2b3f5c; border-radius: 10px; "
        "color: #d8e1f2; }QListWidget::item { padding: 8px; border-bottom: 1px solid #1e2a41; "
        "}QListWidget::item:selected { background: #1f3559; }");
    layout->addWidget(roles_list, 1);
    layout->addStretch(1);

    retranslate();
}

ProfileScreen::~ProfileScreen() = default;

void ProfileScreen::set_on_back(std::function<void()> callback) {
    on_back = std::move(callback);
}

void ProfileScreen::set_display_name(const QString& name) {
    display_name = name;
    render();
}

void ProfileScreen::set_user(const QJsonObject& user_object) {
    user = user_object;
    render();
}

void ProfileScreen::retranslate() {
    components::describe_icon_button(back_button, app::tr("app.back"));
    render();
}

QString ProfileScreen::currency_word(qint64 amount, const QString& language) {
    if (language != QLatin1String("ru")) {
        return amount == 1 ? QStringLiteral("shard") : QStringLiteral("shards");
    }
    const qint64 r100 = amount % 100;
    const qint64 r10 = amount % 10;
    if (r100 >= 11 && r100 <= 14) {
        return QString::fromUtf8("шардов");
    }
    if (r10 == 1) {
        return QString::fromUtf8("шард");
    }
    if (r10 >= 2 && r10 <= 4) {
        return QString::fromUtf8("шарда");
    }
    return QString::fromUtf8("шардов");
}

void ProfileScreen::render() {
    title_label->setText(app::tr("profile.title"));

    QString name = service_line(user.value("nickname").toString().trimmed());
    if (name.isEmpty()) {
        name = service_line(display_name.trimmed());
    }
    if (name.isEmpty()) {
        name = QStringLiteral("-");
    }
    name_label->setText(app::tr("profile.nickname_prefix") + ' ' + name);
    email_label->setText(app::tr("profile.email_prefix") + ' ' +
                         string_or_dash(user.value("email")));
    uuid_label->setText(app::tr("profile.uuid_prefix") + ' ' + string_or_dash(user.value("uuid")));

    QString role_name = service_line(user.value("role_name").toString().trimmed());
    if (role_name.isEmpty()) {
        role_name = QStringLiteral("-");
    }
    const QString role_colour = service_line(user.value("role_color").toString().trimmed());
    if (is_valid_colour(role_colour)) {
        role_label->setTextFormat(Qt::RichText);
        role_label->setText(app::tr("profile.role_prefix").toHtmlEscaped() + ' ' +
                            "<span style=\"color:" + role_colour + ";\">" +
                            role_name.toHtmlEscaped() + "</span>");
    } else {
        role_label->setTextFormat(Qt::PlainText);
        role_label->setText(app::tr("profile.role_prefix") + ' ' + role_name);
    }

    const qint64 amount = outside::saturated_int64(user.value("money"));
    money_label->setText(app::tr("profile.money_prefix") + ' ' +
                         QLocale::system().toString(amount) + ' ' +
                         currency_word(amount, app::Translator::instance().language()));

    flags_label->setText(app::tr("profile.flags_template")
                             .arg(yes_no(user.value("email_verified").toBool(false)),
                                  yes_no(user.value("totp_enabled").toBool(false)),
                                  yes_no(user.value("hd").toBool(false)),
                                  yes_no(user.value("cape_enabled").toBool(false))));
    roles_title_label->setText(app::tr("profile.roles_title"));

    roles_list->clear();
    const QJsonArray roles = user.value("donate_roles").toArray();
    if (roles.isEmpty()) {
        roles_list->addItem(app::tr("profile.roles_empty"));
        return;
    }
    qsizetype objects = 0;
    for (const auto& role : roles) {
        if (role.isObject() && objects++ < kMaxShownRoles) {
            add_role_entry(role.toObject());
        }
    }
    if (objects > kMaxShownRoles) {
        roles_list->addItem(app::tr("profile.roles_more").arg(objects - kMaxShownRoles));
    }
}

void ProfileScreen::add_role_entry(const QJsonObject& role) {
    QString title = service_line(role.value("role_title").toString().trimmed());
    if (title.isEmpty()) {
        title = app::tr("profile.role_unknown");
    }
    QString server = service_line(role.value("server_name").toString().trimmed());
    if (server.isEmpty()) {
        server = app::tr("profile.server_fallback").arg(role.value("server_id").toInt(0));
    }
    QString expiry = service_line(role.value("expires_at").toString());
    if (expiry.isEmpty()) {
        expiry = app::tr("profile.never");
    }
    const QString active = yes_no(role.value("is_active").toBool(false));
    const QString suffix =
        app::tr("profile.role_suffix_template")
            .arg(server.toHtmlEscaped(), expiry.toHtmlEscaped(), active.toHtmlEscaped());
    const QString colour = service_line(role.value("role_color").toString().trimmed());
    const QString style = is_valid_colour(colour) ? "color:" + colour + "; font-weight:700;"
                                                  : QStringLiteral("font-weight:700;");
    const QString markup =
        "<span style=\"" + style + "\">" + title.toHtmlEscaped() + "</span> " + suffix;

    auto* item = new QListWidgetItem(roles_list);
    auto* row = new QWidget(roles_list);
    auto* row_layout = new QHBoxLayout(row);
    row_layout->setContentsMargins(0, 0, 0, 0);
    row_layout->setSpacing(0);
    auto* label = new QLabel(row);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setText(markup);
    row_layout->addWidget(label);
    item->setSizeHint(row->sizeHint());
    roles_list->setItemWidget(item, row);
}

}  // namespace halvark::ui::screens

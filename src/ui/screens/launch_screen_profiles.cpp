// Launch screen: the server-profile list, role gating, the selector and its background.
#include <QEvent>
#include <QFrame>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidgetAction>

#include "api/launch_lists.h"
#include "app/app_info.h"
#include "app/translator.h"
#include "net/network_policy.h"
#include "outside/outside_data.h"
#include "ui/components/app_button.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/pictures.h"

namespace halvark::ui::screens {

namespace {

constexpr int kDarkeningAlpha = 179;
constexpr qsizetype kLoggedBodyBytes = 240;
constexpr int kMenuEntryMinimumWidth = 320;
constexpr int kMarkSide = 14;

// `text` cut with "…" to `width` pixels of `label`'s font; the whole text in its tooltip.
void set_elided_text(QLabel* label, const QString& text, int width) {
    label->ensurePolished();
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideRight, width);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

// The pointer over an entry's row makes it the menu's current entry, as the keyboard does:
// the row, not the menu, gets the pointer's moves, so the menu would not see them.
class HoverMarksEntry final : public QObject {
  public:
    HoverMarksEntry(QMenu* menu, QWidgetAction* entry)
        : QObject(entry), menu_(menu), entry_(entry) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if ((event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) &&
            menu_->activeAction() != entry_) {
            menu_->setActiveAction(entry_);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QMenu* menu_;
    QWidgetAction* entry_;
};

// A menu entry that a plain menu item cannot draw: the profile's name, under it its
// description in a quieter colour, and a mark beside the chosen profile. The menu still
// owns navigation: the labels take no focus and pass their clicks on to it.
QWidgetAction* make_profile_entry(QMenu* menu, const QString& name, const QString& description,
                                  int width) {
    auto* entry = new QWidgetAction(menu);
    auto* row = new QFrame(menu);
    row->setObjectName("server_profile_entry");
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(10, 7, 12, 7);
    layout->setSpacing(8);
    auto* mark = new QLabel(row);
    mark->setObjectName("server_profile_entry_mark");
    mark->setFixedSize(kMarkSide, kMarkSide);
    layout->addWidget(mark, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout();
    texts->setSpacing(2);
    const int text_width = width - kMarkSide - 30;
    for (const auto& [object_name, text] :
         {std::pair{"server_profile_entry_name", name},
          std::pair{"server_profile_entry_description", description}}) {
        if (text.isEmpty()) {
            continue;
        }
        auto* label = new QLabel(row);
        label->setObjectName(object_name);
        label->setTextFormat(Qt::PlainText);  // service text
        set_elided_text(label, text, text_width);
        texts->addWidget(label);
    }
    layout->addLayout(texts, 1);
    row->setMinimumWidth(width);
    row->setMouseTracking(true);
    row->installEventFilter(new HoverMarksEntry(menu, entry));
    entry->setDefaultWidget(row);
    return entry;
}

// Marks `entry` as the menu's current (highlighted) or chosen (checked) one.
void set_entry_state(QAction* entry, bool current, bool chosen) {
    auto* action = qobject_cast<QWidgetAction*>(entry);
    QWidget* row = action != nullptr ? action->defaultWidget() : nullptr;
    if (row == nullptr) {
        return;
    }
    // Each hover marks every entry: only the one or two whose highlight changes are restyled.
    const bool restyle = row->property("current").toBool() != current;
    row->setProperty("current", current);
    auto* mark = row->findChild<QLabel*>("server_profile_entry_mark");
    if (chosen != !mark->pixmap().isNull()) {
        mark->setPixmap(chosen ? QIcon(QStringLiteral(":/assets/png/icons/check.png"))
                                     .pixmap(QSize(kMarkSide, kMarkSide), row->devicePixelRatioF())
                               : QPixmap());
        mark->setAccessibleName(chosen ? QStringLiteral("✓") : QString());
    }
    if (!restyle) {
        return;
    }
    QList<QWidget*> restyled = row->findChildren<QWidget*>();
    restyled.append(row);
    for (QWidget* widget : restyled) {
        widget->style()->unpolish(widget);
        widget->style()->polish(widget);
    }
}

}  // namespace

std::optional<QJsonArray> LaunchScreen::server_profile_list_from(const QByteArray& body,
                                                                 QString* parse_error) {
    return api::server_profile_list_from(body, parse_error);
}

void LaunchScreen::request_server_profiles() {
    QNetworkReply* reply =
        server_profiles_network.get(api::server_profiles_request(app::server_profiles_url()));
    connect(reply, &QNetworkReply::finished, this,
            [this, reply] { handle_server_profiles_reply(reply); });
}

void LaunchScreen::handle_server_profiles_reply(QNetworkReply* reply) {
    const auto readable = net::read_reply_body(reply);
    const QByteArray body = readable.value_or(QByteArray());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString excerpt = QString::fromUtf8(body.left(kLoggedBodyBytes));
    reply->deleteLater();

    if (reply->error() != QNetworkReply::NoError || !readable) {
        qCritical().noquote() << QStringLiteral(
                                     "Server profiles request failed: status=%1 error=%2 body=%3")
                                     .arg(QString::number(status), reply->errorString(), excerpt);
        render_server_profiles(QJsonArray());
        return;
    }
    QString parse_error;
    const auto list = server_profile_list_from(body, &parse_error);
    if (!list) {
        qCritical().noquote() << QStringLiteral(
                                     "Server profiles parse failed: status=%1 parse=%2 body=%3")
                                     .arg(QString::number(status), parse_error, excerpt);
        render_server_profiles(QJsonArray());
        return;
    }
    all_profiles = *list;
    render_server_profiles(all_profiles);
}

void LaunchScreen::set_user(const QJsonObject& user_object) {
    user = user_object;
    // Gathered once: scanning every donate role for every profile grows with their product.
    account_role_ids.clear();
    account_role_ids.insert(outside::integral_id(user.value("role_id")));
    for (const auto& role : user.value("donate_roles").toArray()) {
        const QJsonObject object = role.toObject();
        if (role.isObject() && object.value("is_active").toBool(false)) {
            account_role_ids.insert(outside::integral_id(object.value("role_id")));
        }
    }
    if (all_profiles.isEmpty()) {
        request_server_profiles();
    } else {
        render_server_profiles(all_profiles);
    }
}

bool LaunchScreen::is_profile_allowed(const QJsonObject& profile) const {
    // 64-bit: a requirement of 2^31 must not wrap to "everybody".
    const qint64 required = outside::integral_id(profile.value("required_role_id"));
    return required < 2 || account_role_ids.contains(required);
}

void LaunchScreen::show_empty_server_profiles(const QString& key) {
    selected_profile = QJsonObject();
    play_button->setEnabled(false);
    set_server_profile_labels(app::tr(key), QString());
    background_source = QPixmap();
    redraw_background();
}

void LaunchScreen::render_server_profiles(const QJsonArray& list) {
    visible_profiles = QJsonArray();
    server_profile_menu->clear();
    server_profile_surface->setEnabled(false);
    server_profile_dropdown_button->setEnabled(false);
    if (list.isEmpty()) {
        show_empty_server_profiles(QStringLiteral("launch.server_profiles_empty"));
        return;
    }
    for (const auto& element : list) {
        if (element.isObject() && is_profile_allowed(element.toObject())) {
            visible_profiles.append(element);
            if (visible_profiles.size() == kMaxShownServerProfiles) {
                break;
            }
        }
    }
    if (visible_profiles.isEmpty()) {
        show_empty_server_profiles(QStringLiteral("launch.server_profiles_role_blocked"));
        return;
    }
    server_profile_surface->setEnabled(true);
    server_profile_dropdown_button->setEnabled(true);
    // Plain entries for now: the drawn ones cost a few widgets each, so they are made only
    // when the player opens the menu.
    for (qint32 i = 0; i < visible_profiles.size(); ++i) {
        server_profile_menu->addAction(QString())->setData(i);
    }
    menu_entries_drawn = false;
    apply_server_profile(visible_profiles.first().toObject());
}

void LaunchScreen::apply_server_profile(const QJsonObject& profile) {
    selected_profile = profile;
    play_button->setEnabled(true);
    set_server_profile_labels(
        outside::cut_service_text(profile.value("name").toString(), outside::kServiceLineChars),
        outside::cut_service_text(profile.value("description").toString().trimmed(),
                                  outside::kServiceParagraphChars));
    set_background_url(profile.value("image_url").toString().trimmed());
}

void LaunchScreen::set_server_profile_labels(const QString& title, const QString& description) {
    server_profile_title->setText(title);
    // A space keeps the description line's height.
    server_profile_description->setText(description.isEmpty() ? QStringLiteral(" ") : description);
}

void LaunchScreen::open_server_profile_menu() {
    if (!server_profile_dropdown_button->isEnabled()) {
        return;
    }
    server_profile_menu->setMinimumWidth(server_profile_surface->width());
    draw_menu_entries();
    mark_menu_entries(nullptr);
    // Over the selector, which sits at the bottom of the window, aligned with it.
    const QPoint corner = server_profile_surface->mapToGlobal(QPoint(0, 0));
    server_profile_menu->exec(corner - QPoint(0, server_profile_menu->sizeHint().height()));
}

void LaunchScreen::draw_menu_entries() {
    if (menu_entries_drawn) {
        return;
    }
    menu_entries_drawn = true;
    server_profile_menu->clear();
    const int width = std::max(server_profile_surface->width(), kMenuEntryMinimumWidth);
    for (qint32 i = 0; i < visible_profiles.size(); ++i) {
        const QJsonObject profile = visible_profiles.at(i).toObject();
        const QString name =
            outside::cut_service_text(profile.value("name").toString(), outside::kServiceLineChars);
        const QString description = outside::cut_service_text(
            profile.value("description").toString().trimmed(), outside::kServiceLineChars);
        QWidgetAction* entry = make_profile_entry(server_profile_menu, name, description, width);
        entry->setText(description.isEmpty() ? name : name + '\n' + description);
        entry->setData(i);
        server_profile_menu->addAction(entry);
    }
}

void LaunchScreen::mark_menu_entries(const QAction* current) {
    for (QAction* entry : server_profile_menu->actions()) {
        bool ok = false;
        const int index = entry->data().toInt(&ok);
        const bool chosen = ok && index >= 0 && index < visible_profiles.size() &&
                            visible_profiles.at(index).toObject() == selected_profile;
        set_entry_state(entry, entry == current, chosen);
    }
}

void LaunchScreen::select_menu_entry(QAction* entry) {
    bool ok = false;
    const int index = entry != nullptr ? entry->data().toInt(&ok) : -1;
    if (ok && index >= 0 && index < visible_profiles.size()) {
        apply_server_profile(visible_profiles.at(index).toObject());
        return;
    }
    selected_profile = QJsonObject();
    play_button->setEnabled(false);
}

void LaunchScreen::set_background_url(const QString& address) {
    background_url = address;
    if (address.isEmpty()) {
        background_source = QPixmap();
        redraw_background();
        return;
    }
    const bool requested = fetch_latest_picture(
        this, news_network, address, [this, address] { return address == background_url; },
        [this](const QImage& picture) { show_background(picture); });
    if (!requested) {
        show_background(QImage());
    }
}

void LaunchScreen::show_background(const QImage& picture) {
    background_source = QPixmap::fromImage(picture);
    redraw_background();
    if (!background_source.isNull()) {
        schedule_background_redraw();
    }
}

void LaunchScreen::redraw_background() {
    if (server_profile_background == nullptr) {
        return;
    }
    if (!background_enabled) {
        server_profile_background->setPixmap(QPixmap());
        return;
    }
    const QSize size = server_profile_surface->size();
    if (size.width() < 1 || size.height() < 1) {
        return;
    }
    if (background_source.isNull()) {
        server_profile_background->setPixmap(QPixmap());
        return;
    }
    // In device pixels, so that a high-density screen shows it sharp.
    const qreal ratio = server_profile_background->devicePixelRatioF();
    QPixmap scaled = background_source.scaled(size * ratio, Qt::KeepAspectRatioByExpanding,
                                              Qt::SmoothTransformation);
    QPainter painter(&scaled);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(scaled.rect(), QColor(0, 0, 0, kDarkeningAlpha));
    painter.end();
    scaled.setDevicePixelRatio(ratio);
    server_profile_background->setPixmap(scaled);
}

void LaunchScreen::set_server_list_background_enabled(bool flag) {
    background_enabled = flag;
    server_profile_background->setVisible(flag);
    server_profile_background_dimmer->setVisible(flag);
    server_profile_dropdown_button->raise();
    redraw_background();
}

}  // namespace halvark::ui::screens

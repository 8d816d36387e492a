#pragma once

#include <QIcon>
#include <QJsonArray>
#include <QJsonObject>
#include <QPixmap>
#include <QSet>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "net/bounded_network.h"
#include "net/network_policy.h"
#include "ui/screens/home_screen.h"

class QAction;
class QFrame;
class QImage;
class QLabel;
class QMenu;
class QNetworkDiskCache;
class QNetworkReply;
class QPushButton;
class QVBoxLayout;

namespace halvark::ui::components {
class AppButton;
}

namespace halvark::ui::screens {

// The home screen: account button, four news cards, the server-profile selector with
// its darkened background picture, and the play, settings and logout buttons.
class LaunchScreen : public HomeScreen {
  public:
    // The account button's avatar, in pixels.
    static constexpr int kAvatarSide = 26;
    // The selector's menu shows at most this many of the profiles the account may use.
    static constexpr qsizetype kMaxShownServerProfiles = 200;

    explicit LaunchScreen(QWidget* parent = nullptr);
    ~LaunchScreen() override;

    void set_on_logout(Callback callback) override;
    void set_on_open_settings(Callback callback) override;
    void set_on_open_profile(Callback callback) override;
    void set_account_name(const QString& name) override;
    // While the profile is fetched its button says so; a sign-out asked for meanwhile shows
    // on its button until it is carried out.
    void set_profile_waiting(bool waiting) override;
    void set_sign_out_pending(bool pending) override;
    void retranslate() override;

    // Server profiles.
    void set_user(const QJsonObject& user_object) override;
    void set_server_list_background_enabled(bool flag) override;
    bool is_profile_allowed(const QJsonObject& profile) const;
    void render_server_profiles(const QJsonArray& list);

    // News.
    void render_news(const QJsonArray& array);
    void open_news(qint32 id);

    // The body parsers, as the replies use them.
    static QJsonArray news_items_from(const QByteArray& body);
    static std::optional<QJsonArray> server_profile_list_from(const QByteArray& body,
                                                              QString* parse_error);

    // Pictures.
    void set_avatar_uuid(const QString& uuid) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void build_header(QVBoxLayout* root);
    void build_news_row(QVBoxLayout* root);
    void build_bottom_row(QVBoxLayout* root);
    void build_server_profile_selector(QFrame* bottom_block);
    // The menu's entries as the player sees them: name, description, the chosen one checked.
    void draw_menu_entries();
    // Highlights `current` and checks the chosen profile among the menu's entries.
    void mark_menu_entries(const QAction* current);
    void set_up_network();
    void update_account_header();
    void schedule_background_redraw();

    void request_news();
    void handle_news_reply(QNetworkReply* reply);

    void request_server_profiles();
    void handle_server_profiles_reply(QNetworkReply* reply);
    void apply_server_profile(const QJsonObject& profile);
    void set_server_profile_labels(const QString& title, const QString& description);
    void set_background_url(const QString& address);
    void redraw_background();
    void show_background(const QImage& picture);
    void open_server_profile_menu();
    void select_menu_entry(QAction* entry);
    void show_empty_server_profiles(const QString& key);

    void load_news_image(const QString& address, QLabel* label, bool primary);
    void load_avatar();
    void show_default_avatar();
    void show_avatar(const QImage& picture);

    Callback on_logout;
    Callback on_open_settings;
    Callback on_open_profile;
    QString account_name;
    QString avatar_uuid;
    QIcon default_profile_icon;
    // In the screen's object tree, so that its replies can be found from the screen.
    net::BoundedNetworkAccessManager avatar_network{net::kPictureReplyLimit, this};
    net::BoundedNetworkAccessManager news_network{net::kPictureReplyLimit, this};
    net::BoundedNetworkAccessManager server_profiles_network{net::kListReplyLimit, this};
    QNetworkDiskCache* avatar_cache = nullptr;
    QNetworkDiskCache* news_image_cache = nullptr;
    QNetworkDiskCache* server_profile_cache = nullptr;
    std::array<qint32, 4> news_ids{-1, -1, -1, -1};
    QJsonObject selected_profile;
    QJsonObject user;
    // The user's "role_id" and the "role_id" of each active donate role.
    QSet<qint64> account_role_ids{0};
    QJsonArray all_profiles;
    QJsonArray visible_profiles;
    QLabel* title_label = nullptr;
    QLabel* subtitle_label = nullptr;
    QLabel* account_label = nullptr;
    // Card 0 is the primary card, 1 to 3 the side cards from top to bottom.
    std::array<QLabel*, 4> news_image_labels{};
    std::array<QLabel*, 4> news_title_labels{};
    QLabel* primary_summary = nullptr;
    std::array<components::AppButton*, 4> news_more_buttons{};
    QFrame* server_profile_surface = nullptr;
    QLabel* server_profile_background = nullptr;
    QFrame* server_profile_background_dimmer = nullptr;
    QPushButton* server_profile_dropdown_button = nullptr;
    QLabel* server_profile_title = nullptr;
    QLabel* server_profile_description = nullptr;
    QMenu* server_profile_menu = nullptr;
    bool menu_entries_drawn = false;
    bool profile_waiting = false;
    bool sign_out_pending = false;
    QPixmap background_source;
    QString background_url;
    bool background_enabled = true;
    components::AppButton* play_button = nullptr;
    components::AppButton* settings_button = nullptr;
    components::AppButton* profile_button = nullptr;
    components::AppButton* logout_button = nullptr;
};

}  // namespace halvark::ui::screens

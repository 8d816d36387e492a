// Launch screen: construction, layout, account header and redraw triggers.
#include "ui/screens/launch_screen.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

#include "app/translator.h"
#include "outside/outside_data.h"
#include "ui/components/app_button.h"
#include "ui/components/elided_label.h"

namespace halvark::ui::screens {

using components::AppButton;

namespace {

constexpr int kSecondary = 1;

QLabel* hidden_label(const QString& style, QWidget* parent, QVBoxLayout* layout,
                     const QString& text = QString()) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(style);
    label->hide();
    layout->addWidget(label);
    return label;
}

}  // namespace

LaunchScreen::LaunchScreen(QWidget* parent)
    : HomeScreen(parent), default_profile_icon(QStringLiteral(":/assets/png/icons/profile.png")) {
    set_up_network();

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(20, 20, 20, 20);
    root->setSpacing(12);
    build_header(root);
    build_news_row(root);
    root->addStretch(1);
    build_bottom_row(root);

    connect(profile_button, &QPushButton::clicked, this, [this] {
        if (on_open_profile) {
            on_open_profile();
        }
    });
    connect(settings_button, &QPushButton::clicked, this, [this] {
        if (on_open_settings) {
            on_open_settings();
        }
    });
    for (int card = 0; card < 4; ++card) {
        connect(news_more_buttons[card], &QPushButton::clicked, this,
                [this, card] { open_news(news_ids[card]); });
    }
    connect(server_profile_dropdown_button, &QPushButton::clicked, this,
            [this] { open_server_profile_menu(); });
    connect(server_profile_menu, &QMenu::triggered, this,
            [this](QAction* entry) { select_menu_entry(entry); });
    connect(server_profile_menu, &QMenu::hovered, this,
            [this](QAction* entry) { mark_menu_entries(entry); });

    schedule_background_redraw();
    retranslate();
    request_news();
    request_server_profiles();
}

LaunchScreen::~LaunchScreen() = default;

void LaunchScreen::build_header(QVBoxLayout* root) {
    profile_button = new AppButton(QString(), kSecondary, this);
    profile_button->setIcon(default_profile_icon);
    profile_button->setIconSize(QSize(22, 22));
    profile_button->setFixedWidth(140);
    profile_button->setStyleSheet("QPushButton { text-align: left; padding-left: 12px; }");
    root->addWidget(profile_button, 0, Qt::AlignLeft);

    title_label = hidden_label("font-size: 22px; font-weight: 700; color: #f3f7ff;", this, root);
    subtitle_label = hidden_label("color: #b7c3d8;", this, root);
    account_label = hidden_label("color: #82c1ff; font-weight: 600;", this, root,
                                 QString::fromUtf8("Аккаунт: не выбран"));
    account_label->setTextFormat(Qt::PlainText);  // the nickname comes from the service
}

void LaunchScreen::build_news_row(QVBoxLayout* root) {
    auto* centring = new QHBoxLayout();
    auto* news_row = new QHBoxLayout();
    news_row->setSpacing(10);
    centring->addStretch(1);
    centring->addLayout(news_row, 0);
    centring->addStretch(1);
    root->addLayout(centring);

    auto* primary = new QFrame(this);
    primary->setObjectName("news_primary_card");
    primary->setMinimumSize(520, 260);
    auto* primary_layout = new QVBoxLayout(primary);
    primary_layout->setContentsMargins(12, 12, 12, 12);
    primary_layout->setSpacing(8);
    news_image_labels[0] = new QLabel(" ", primary);
    news_image_labels[0]->setObjectName("news_primary_image");
    news_image_labels[0]->setMinimumHeight(170);
    news_image_labels[0]->setAlignment(Qt::AlignCenter);
    news_title_labels[0] = new components::ElidedLabel(primary);
    news_title_labels[0]->setObjectName("news_primary_title");
    primary_summary = new QLabel(primary);
    primary_summary->setWordWrap(true);
    primary_summary->setStyleSheet("color: #b7c3d8;");
    primary_summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    news_more_buttons[0] = new AppButton(QString(), kSecondary, primary);
    news_more_buttons[0]->setFixedWidth(120);
    primary_layout->addWidget(news_image_labels[0]);
    primary_layout->addWidget(news_title_labels[0]);
    primary_layout->addWidget(primary_summary, 1);
    primary_layout->addWidget(news_more_buttons[0], 0, Qt::AlignLeft);
    news_row->addWidget(primary, 2);

    auto* side_column = new QVBoxLayout();
    side_column->setSpacing(10);
    for (int card = 1; card < 4; ++card) {
        auto* side = new QFrame(this);
        side->setObjectName("news_side_card");
        side->setMinimumSize(280, 80);
        auto* side_layout = new QVBoxLayout(side);
        side_layout->setContentsMargins(10, 10, 10, 10);
        side_layout->setSpacing(8);
        news_image_labels[card] = new QLabel(" ", side);
        news_image_labels[card]->setObjectName("news_side_image");
        news_image_labels[card]->setMinimumHeight(64);
        news_image_labels[card]->setAlignment(Qt::AlignCenter);
        news_title_labels[card] = new components::ElidedLabel(side);
        news_title_labels[card]->setObjectName("news_side_title");
        news_more_buttons[card] = new AppButton(QString(), kSecondary, side);
        news_more_buttons[card]->setFixedWidth(110);
        side_layout->addWidget(news_image_labels[card]);
        side_layout->addWidget(news_title_labels[card]);
        side_layout->addStretch(1);
        side_layout->addWidget(news_more_buttons[card], 0, Qt::AlignLeft);
        side_column->addWidget(side, 1);
    }
    news_row->addLayout(side_column, 1);

    // News texts come from the service: never interpreted as markup (the titles are
    // plain-text labels of their own).
    primary_summary->setTextFormat(Qt::PlainText);
}

void LaunchScreen::build_bottom_row(QVBoxLayout* root) {
    auto* bottom = new QHBoxLayout();

    auto* logout_column = new QVBoxLayout();
    logout_column->addStretch(1);
    logout_button = new AppButton(QString(), kSecondary, this);
    logout_button->setIcon(QIcon(QStringLiteral(":/assets/png/icons/logout.png")));
    logout_button->setIconSize(QSize(18, 18));
    logout_button->setFixedSize(42, 42);
    logout_column->addWidget(logout_button, 0, Qt::AlignLeft | Qt::AlignBottom);
    bottom->addLayout(logout_column);
    connect(logout_button, &QPushButton::clicked, this, [this] {
        if (on_logout) {
            on_logout();
        }
    });

    bottom->addSpacing(30);
    auto* bottom_block = new QFrame(this);
    bottom_block->setObjectName("launch_bottom_block");
    bottom_block->setFixedHeight(100);
    bottom->addWidget(bottom_block, 1);
    build_server_profile_selector(bottom_block);
    bottom->addSpacing(30);

    auto* actions = new QVBoxLayout();
    actions->setSpacing(8);
    play_button = new AppButton(QString(), kSecondary, this);
    play_button->setIcon(QIcon(QStringLiteral(":/assets/png/icons/play.png")));
    settings_button = new AppButton(QString(), kSecondary, this);
    settings_button->setIcon(QIcon(QStringLiteral(":/assets/png/icons/settings.png")));
    for (AppButton* button : {play_button, settings_button}) {
        button->setIconSize(QSize(18, 18));
        button->setFixedWidth(140);
        button->setStyleSheet("QPushButton { text-align: left; padding-left: 14px; }");
        actions->addWidget(button, 0, Qt::AlignRight);
    }
    actions->addStretch(1);
    // Play starts nothing: the launcher holds no game-starting logic.
    play_button->setEnabled(false);
    bottom->addLayout(actions);

    root->addLayout(bottom);
}

void LaunchScreen::build_server_profile_selector(QFrame* bottom_block) {
    auto* block_layout = new QVBoxLayout(bottom_block);
    block_layout->setContentsMargins(0, 0, 0, 0);
    block_layout->setSpacing(0);

    server_profile_surface = new QFrame(bottom_block);
    server_profile_surface->setObjectName("server_profile_surface");
    server_profile_surface->setFixedHeight(100);
    server_profile_surface->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    block_layout->addWidget(server_profile_surface);

    auto* stack = new QStackedLayout(server_profile_surface);
    stack->setStackingMode(QStackedLayout::StackAll);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    server_profile_background = new QLabel(" ", server_profile_surface);
    server_profile_background->setObjectName("server_profile_background");
    server_profile_background->setScaledContents(false);
    server_profile_background->setAlignment(Qt::AlignCenter);
    server_profile_background->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    server_profile_background->setAttribute(Qt::WA_TransparentForMouseEvents);
    server_profile_background_dimmer = new QFrame(server_profile_surface);
    server_profile_background_dimmer->setObjectName("server_profile_background_dimmer");
    server_profile_background_dimmer->setAttribute(Qt::WA_TransparentForMouseEvents);
    server_profile_dropdown_button = new QPushButton(server_profile_surface);
    server_profile_dropdown_button->setObjectName("server_profile_dropdown_button");
    server_profile_dropdown_button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    server_profile_dropdown_button->setCursor(Qt::PointingHandCursor);
    stack->addWidget(server_profile_background);
    stack->addWidget(server_profile_background_dimmer);
    stack->addWidget(server_profile_dropdown_button);
    server_profile_dropdown_button->raise();

    auto* button_layout = new QHBoxLayout(server_profile_dropdown_button);
    button_layout->setContentsMargins(14, 10, 14, 10);
    button_layout->setSpacing(10);
    auto* text_column = new QVBoxLayout();
    text_column->setContentsMargins(0, 0, 0, 0);
    text_column->setSpacing(2);
    server_profile_title = new components::ElidedLabel(server_profile_dropdown_button);
    server_profile_title->setObjectName("server_profile_title");
    server_profile_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    server_profile_description = new components::ElidedLabel(server_profile_dropdown_button);
    server_profile_description->setText(" ");
    server_profile_description->setObjectName("server_profile_description");
    server_profile_description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Profile names and descriptions come from the service: plain text, cut with "…".
    text_column->addWidget(server_profile_title);
    text_column->addWidget(server_profile_description);
    button_layout->addLayout(text_column, 1);
    auto* arrow = new QLabel(QString(QChar(0x25BE)), server_profile_dropdown_button);
    arrow->setObjectName("server_profile_arrow");
    arrow->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    button_layout->addWidget(arrow, 0, Qt::AlignRight | Qt::AlignVCenter);

    server_profile_menu = new QMenu(server_profile_surface);
    server_profile_menu->setObjectName("server_profile_menu");
    server_profile_surface->installEventFilter(this);
}

void LaunchScreen::set_on_logout(Callback callback) {
    on_logout = std::move(callback);
}

void LaunchScreen::set_on_open_settings(Callback callback) {
    on_open_settings = std::move(callback);
}

void LaunchScreen::set_on_open_profile(Callback callback) {
    on_open_profile = std::move(callback);
}

void LaunchScreen::set_account_name(const QString& name) {
    account_name = outside::cut_service_text(name, outside::kServiceLineChars);
    update_account_header();
}

void LaunchScreen::set_profile_waiting(bool waiting) {
    profile_waiting = waiting;
    update_account_header();
}

void LaunchScreen::set_sign_out_pending(bool pending) {
    sign_out_pending = pending;
    logout_button->setEnabled(!pending);
    retranslate();
}

void LaunchScreen::update_account_header() {
    if (profile_waiting) {
        profile_button->setText((account_name.trimmed().isEmpty() ? QString() : "   ") +
                                app::tr("launch.profile_loading"));
    } else if (account_name.trimmed().isEmpty()) {
        profile_button->setText(app::tr("launch.profile"));
        components::describe_icon_button(profile_button, app::tr("launch.profile_tooltip"));
    } else {
        // What the largest icon (the avatar), the paddings and the gap before the name leave
        // of the button's fixed width; a longer nickname ends in "…", whole in the tooltip.
        profile_button->ensurePolished();
        const QFontMetrics metrics = profile_button->fontMetrics();
        const int room = profile_button->width() - kAvatarSide - 12 - 18 -
                         metrics.horizontalAdvance(QStringLiteral("   "));
        const QString shown = metrics.elidedText(account_name, Qt::ElideRight, room);
        profile_button->setText("   " + shown);
        components::describe_icon_button(profile_button, shown == account_name
                                                             ? app::tr("launch.profile_tooltip")
                                                             : account_name);
    }
    account_label->setText(account_name.isEmpty()
                               ? app::tr("launch.account_none")
                               : app::tr("launch.account_prefix") + ' ' + account_name);
}

void LaunchScreen::retranslate() {
    title_label->setText(app::tr("launch.title"));
    subtitle_label->setText(app::tr("launch.subtitle"));
    play_button->setText(app::tr("launch.play"));
    settings_button->setText(app::tr("launch.settings"));
    for (AppButton* button : news_more_buttons) {
        button->setText(app::tr("launch.news_more"));
    }
    components::describe_icon_button(
        logout_button, app::tr(sign_out_pending ? "launch.signing_out" : "launch.logout_tooltip"));
    update_account_header();
}

void LaunchScreen::schedule_background_redraw() {
    QTimer::singleShot(0, this, [this] { redraw_background(); });
}

bool LaunchScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == server_profile_surface &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        schedule_background_redraw();
    }
    return QWidget::eventFilter(watched, event);
}

void LaunchScreen::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    redraw_background();
}

}  // namespace halvark::ui::screens

// Launch screen: the four news cards.
#include <QDesktopServices>
#include <QLabel>
#include <QNetworkReply>
#include <QUrl>

#include "api/launch_lists.h"
#include "app/app_info.h"
#include "app/translator.h"
#include "net/network_policy.h"
#include "outside/outside_data.h"
#include "ui/components/app_button.h"
#include "ui/screens/launch_screen.h"

namespace halvark::ui::screens {

void LaunchScreen::request_news() {
    QNetworkReply* reply = news_network.get(api::news_list_request(app::news_list_url()));
    connect(reply, &QNetworkReply::finished, this, [this, reply] { handle_news_reply(reply); });
}

void LaunchScreen::handle_news_reply(QNetworkReply* reply) {
    const auto body = net::read_reply_body(reply);
    render_news(reply->error() == QNetworkReply::NoError && body ? news_items_from(*body)
                                                                 : QJsonArray());
    reply->deleteLater();
}

QJsonArray LaunchScreen::news_items_from(const QByteArray& body) {
    return api::news_items_from(body);
}

void LaunchScreen::render_news(const QJsonArray& array) {
    news_ids.fill(-1);
    const auto show_empty = [this](int card) {
        news_title_labels[card]->setText(app::tr("launch.news_empty"));
        news_image_labels[card]->clear();
        news_more_buttons[card]->setEnabled(false);
    };
    if (array.isEmpty()) {
        primary_summary->clear();
        for (int card = 0; card < 4; ++card) {
            show_empty(card);
        }
        return;
    }
    const int shown = static_cast<int>(std::min<qsizetype>(array.size(), 4));
    for (int card = 0; card < shown; ++card) {
        if (!array.at(card).isObject()) {
            continue;
        }
        const QJsonObject item = array.at(card).toObject();
        const qint32 id = item.value("id").toInt(-1);
        const QString title = outside::cut_service_text(item.value("title").toString().trimmed(),
                                                        outside::kServiceLineChars);
        const QJsonArray images = item.value("images").toArray();
        const QString picture = images.isEmpty() ? QString() : images.first().toString();

        news_ids[card] = id;
        news_title_labels[card]->setText(title.isEmpty() ? app::tr("launch.news_empty") : title);
        if (card == 0) {
            primary_summary->setText(outside::cut_service_text(
                item.value("summary").toString().trimmed(), outside::kServiceParagraphChars));
        }
        news_more_buttons[card]->setEnabled(id > 0);
        load_news_image(picture, news_image_labels[card], card == 0);
    }
    for (int card = shown; card < 4; ++card) {
        show_empty(card);
    }
}

void LaunchScreen::open_news(qint32 id) {
    if (id < 1) {
        return;
    }
    const QUrl page(app::news_page_url(id));
    if (!net::is_web_address(page)) {
        qWarning().noquote() << "Not opening a news page that is not http(s): scheme="
                             << page.scheme();
        return;
    }
    QDesktopServices::openUrl(page);
}

}  // namespace halvark::ui::screens

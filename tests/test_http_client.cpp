// The HTTP client beneath every request: one proxy rule set, the toolkit's translated words for
// each failure, and disk caches that keep serving what Qt's own stack stored.
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "app/translator.h"
#include "endless_peer.h"
#include "fake_service.h"
#include "image_samples.h"
#include "net/bounded_network.h"
#include "net/http_client.h"
#include "net/http_exchange.h"
#include "net/proxy_rules.h"
#include "test_support.h"

using namespace halvark;
using namespace halvark::testing;

namespace {

// A proxy on loopback that records each request line and answers "proxied".
class RecordingProxy {
  public:
    RecordingProxy() {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            QTcpSocket* client = server.nextPendingConnection();
            QObject::connect(client, &QTcpSocket::readyRead, client, [this, client] {
                const QByteArray head = client->readAll();
                lines.append(head.left(head.indexOf("\r\n")));
                authorized |= head.toLower().contains("\nauthorization:");
                client->write(
                    "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\n"
                    "proxied");
                client->disconnectFromHost();
            });
        });
    }
    QString address() const { return QString("127.0.0.1:%1").arg(server.serverPort()); }
    QTcpServer server;
    QByteArrayList lines;
    bool authorized = false;
};

QByteArray fetch(QNetworkAccessManager& network, const QString& url, bool* from_cache = nullptr) {
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    [&] { QVERIFY(finished.wait(kPatienceMs)); }();
    if (from_cache != nullptr) {
        *from_cache = reply->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool();
    }
    return reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
}

}  // namespace

class HttpClientTest : public QObject {
    Q_OBJECT

    RecordingProxy proxy;
    ScopedEnvironment environment;

  private Q_SLOTS:
    // Resolved once per run, so set before the first request.
    void initTestCase() {
        if (!qEnvironmentVariableIsSet("HALVARK_SYSTEM_PROXY_RUN")) {
            qputenv("http_proxy", proxy.address().toUtf8());
            qputenv("no_proxy", "*.direct.test");
        }
    }

    void proxy_rules_data() {
        QTest::addColumn<QByteArrayList>("variables");  // name=value
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("proxy");
        const QByteArrayList plain{"http_proxy=p:3128", "https_proxy=http://s:3129"};
        const QByteArrayList bypass{"HTTP_PROXY=p:1",
                                    "NO_PROXY=.a.test, *.b.test,c.test:8080,10.0.0.0/8,[::2]:81,"
                                    "192.168/16,172.16.0.0/255.240.0.0,fd00::/8"};
        QTest::newRow("plain") << plain << "http://x.test/" << QByteArray("http://p:3128");
        QTest::newRow("https") << plain << "https://x.test/" << QByteArray("http://s:3129");
        QTest::newRow("loopback address") << plain << "http://127.3.4.5/" << QByteArray();
        QTest::newRow("localhost") << plain << "http://LocalHost:9/" << QByteArray();
        QTest::newRow("IPv6 loopback") << plain << "http://[::1]/" << QByteArray();
        QTest::newRow("mapped loopback") << plain << "http://[::ffff:127.0.0.1]/" << QByteArray();
        QTest::newRow("lower case first") << QByteArrayList{"http_proxy=l:1", "HTTP_PROXY=u:1"}
                                          << "http://x.test/" << QByteArray("http://l:1");
        QTest::newRow("all_proxy") << QByteArrayList{"ALL_PROXY=socks5h://s:1080"}
                                   << "https://x.test/" << QByteArray("socks5h://s:1080");
        QTest::newRow("no scheme we know")
            << QByteArrayList{"http_proxy=ftp://f:21"} << "http://x.test/" << QByteArray();
        QTest::newRow(".domain") << bypass << "http://z.a.test/" << QByteArray();
        QTest::newRow(".domain itself") << bypass << "http://a.test/" << QByteArray();
        QTest::newRow("not a suffix") << bypass << "http://xa.test/" << QByteArray("http://p:1");
        QTest::newRow("*.domain") << bypass << "http://y.b.test/" << QByteArray();
        QTest::newRow("host:port") << bypass << "http://c.test:8080/" << QByteArray();
        QTest::newRow("host, other port") << bypass << "http://c.test/" << QByteArray("http://p:1");
        QTest::newRow("network") << bypass << "http://10.9.8.7/" << QByteArray();
        QTest::newRow("outside the network")
            << bypass << "http://11.0.0.1/" << QByteArray("http://p:1");
        QTest::newRow("[IPv6]:port") << bypass << "http://[::2]:81/" << QByteArray();
        for (const char* direct : {"192.168.5.5", "172.31.0.1", "[fd12::1]", "[::ffff:10.1.1.1]"}) {
            QTest::newRow(direct) << bypass << QString("http://%1/").arg(direct) << QByteArray();
        }
        QTest::newRow("outside the netmask")
            << bypass << "http://172.32.0.1/" << QByteArray("http://p:1");
        QTest::newRow("*") << QByteArrayList{"http_proxy=p:1", "no_proxy=*"} << "http://x.test/"
                           << QByteArray();
    }
    void proxy_rules() {
        QFETCH(QByteArrayList, variables);
        QFETCH(QString, url);
        QFETCH(QByteArray, proxy);
        const auto rules = net::ProxyRules::from_variables([&](const char* name) {
            for (const QByteArray& variable : variables) {
                if (variable.startsWith(QByteArray(name) + '=')) {
                    return variable.mid(qstrlen(name) + 1);
                }
            }
            return QByteArray();
        });
        QCOMPARE(rules.proxy_for(QUrl(url)), proxy);
    }

    void windows_proxy_settings() {
        const auto rules = net::ProxyRules::from_windows_settings("http=h:80;https=s:443",
                                                                  "<local>;*.corp.test;192.168.*");
        QCOMPARE(rules.proxy_for(QUrl("http://x.test/")), QByteArray("http://h:80"));
        QCOMPARE(rules.proxy_for(QUrl("https://x.test/")), QByteArray("http://s:443"));
        for (const char* direct :
             {"http://intranet/", "https://a.corp.test/", "http://192.168.1.2/"}) {
            QVERIFY2(rules.proxy_for(QUrl(direct)).isEmpty(), direct);
        }
        QCOMPARE(
            net::ProxyRules::from_windows_settings("one:8080", "").proxy_for(QUrl("https://x/")),
            QByteArray("http://one:8080"));
    }

    // Through the proxy: a picture; never: loopback, a bypassed name, nor a token over http.
    void one_rule_for_every_request() {
        FakeService service;
        service.reply("GET", "/p", {200, "direct"});
        net::BoundedNetworkAccessManager network(1 << 20);
        QCOMPARE(fetch(network, "http://pictures.example.test/p.png"), QByteArray("proxied"));
        QCOMPARE(proxy.lines.value(0),
                 QByteArray("GET http://pictures.example.test/p.png HTTP/1.1"));
        QCOMPARE(fetch(network, service.url("/p")), QByteArray("direct"));
        const net::HttpAnswer bypassed =
            net::exchange({"GET", QUrl("http://nowhere.direct.test/"), {}, {}}, kPatienceMs, 1024);
        const net::HttpAnswer token = net::exchange(
            {"GET", QUrl("http://api.example.test/me"), {{"Authorization", "Bearer t"}}, {}},
            kPatienceMs, 1024);
        QVERIFY(!bypassed.succeeded() && !token.succeeded());
        QCOMPARE(proxy.lines.size(), 1);
        QVERIFY(!proxy.authorized);
    }

    // Windows: with no proxy variable, the proxy the user set in Windows' own settings, in a
    // run of its own (the rules are read once per run).
    void system_proxy_of_the_user() {
#ifndef Q_OS_WIN
        QSKIP("only Windows keeps a proxy per user");
#else
        if (!qEnvironmentVariableIsSet("HALVARK_SYSTEM_PROXY_RUN")) {
            QProcess run;
            QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
            variables.remove("http_proxy");
            variables.remove("no_proxy");
            variables.insert("HALVARK_SYSTEM_PROXY_RUN", "1");
            run.setProcessEnvironment(variables);
            run.setProcessChannelMode(QProcess::ForwardedChannels);
            run.start(QCoreApplication::applicationFilePath(), {"system_proxy_of_the_user"});
            QVERIFY(run.waitForFinished(kPatienceMs));
            QCOMPARE(run.exitCode(), 0);
            return;
        }
        // What Windows' settings page writes: a version, a counter, the flags (direct, proxy),
        // then the proxy and the bypass list, each after its length.
        const QByteArray server = proxy.address().toLatin1();
        const QByteArray bypass = "*.direct.test;<local>";
        QByteArray blob;
        const auto put = [&blob](quint32 value) {
            blob.append(reinterpret_cast<const char*>(&value), 4);
        };
        for (const quint32 value : {0x46U, 1U, 0x03U, quint32(server.size())}) {
            put(value);
        }
        blob += server;
        put(quint32(bypass.size()));
        blob += bypass;
        put(0);
        blob += QByteArray(32, '\0');
        const wchar_t* connections =
            L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
        HKEY key = nullptr;
        QCOMPARE(RegCreateKeyExW(HKEY_CURRENT_USER, connections, 0, nullptr, 0, KEY_WRITE, nullptr,
                                 &key, nullptr),
                 LONG(ERROR_SUCCESS));
        RegSetValueExW(key, L"DefaultConnectionSettings", 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(blob.constData()), DWORD(blob.size()));
        RegCloseKey(key);
        net::BoundedNetworkAccessManager network(1 << 20);
        const QByteArray answer = fetch(network, "http://pictures.example.test/p.png");
        RegDeleteKeyValueW(HKEY_CURRENT_USER, connections, L"DefaultConnectionSettings");
        QCOMPARE(answer, QByteArray("proxied"));
        QVERIFY(!net::exchange({"GET", QUrl("http://x.direct.test/"), {}, {}}, kPatienceMs, 1)
                     .succeeded());
        QCOMPARE(proxy.lines.size(), 1);
#endif
    }

    void failures_in_the_toolkit_words_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << "en";
        QTest::newRow("ru") << "ru";
    }
    void failures_in_the_toolkit_words() {
        QFETCH(QString, language);
        QVERIFY(app::Translator::instance().set_language(language));
        const QString refused = QCoreApplication::translate("QHttp", "Connection refused");
        if (language == "ru" && refused == "Connection refused") {
            QSKIP("Qt's own Russian catalogue is not installed here");
        }
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const QUrl url(QString("http://127.0.0.1:%1/").arg(closed.serverPort()));
        closed.close();
#ifdef Q_OS_WIN
        QEXPECT_FAIL("",
                     "under Wine a refused loopback connect reaches no socket notifier: the "
                     "exchange ends at its time-out",
                     Continue);
#endif
        QCOMPARE(net::exchange({"GET", url, {}, {}}, 10000, 1024).error, refused);
        for (int kind = int(net::Failure::ErrorStatus); kind <= int(net::Failure::Unavailable);
             ++kind) {
            const QString text = net::failure_text(net::Failure(kind), url, "Bad");
            QVERIFY2(!text.isEmpty() && (language == "en") == (text.front().unicode() < 0x80),
                     qPrintable(text));
        }
        // A reason phrase of 60,000 characters reaches a box or the log as one short line.
        EndlessPeer peer("HTTP/1.1 500 " + QByteArray(60000, 'x') + "\r\nContent-Length: 0\r\n\r\n",
                         "", 50);
        const QString error =
            net::exchange({"GET", QUrl(peer.url), {}, {}}, kPatienceMs, 1024).error;
        QVERIFY2(error.size() < 600 && !error.contains('\n'), qPrintable(error.left(100)));
        QVERIFY(app::Translator::instance().set_language("en"));
    }

    void caches_keep_serving_data() {
        QTest::addColumn<bool>("stored_by_qt");
        QTest::newRow("stored by this client") << false;
        QTest::newRow("stored by Qt's own stack") << true;
    }
    // Seen once, a picture shows from disk with the service gone, whichever stack stored it.
    void caches_keep_serving() {
        QFETCH(bool, stored_by_qt);
        QTemporaryDir folder;
        const QByteArray picture = two_colour_png(8, 8, Qt::red, Qt::blue);
        QString url;
        {
            FakeService service;
            service.reply("GET", "/p.png", {200, picture, "image/png"});
            url = service.url("/p.png");
            std::unique_ptr<QNetworkAccessManager> network(
                stored_by_qt ? new QNetworkAccessManager
                             : new net::BoundedNetworkAccessManager(1 << 20));
            auto* cache = new QNetworkDiskCache(network.get());
            cache->setCacheDirectory(folder.path());
            network->setCache(cache);
            bool from_cache = true;
            QCOMPARE(fetch(*network, url, &from_cache), picture);
            QVERIFY(!from_cache);
        }
        net::BoundedNetworkAccessManager network(1 << 20);
        auto* cache = new QNetworkDiskCache(&network);
        cache->setCacheDirectory(folder.path());
        network.setCache(cache);
        bool from_cache = false;
        QCOMPARE(fetch(network, url, &from_cache), picture);
        QVERIFY(from_cache);
    }
};

QTEST_MAIN(HttpClientTest)
#include "test_http_client.moc"

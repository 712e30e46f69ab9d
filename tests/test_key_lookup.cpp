// Looking keys up: the Web Key Directory's addresses (checked against
// gpg-wks-client), the keyserver requests, the proxy the environment names,
// what a query is, which keys of an answer are kept, and the requests
// refused before anything is sent.
#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QLabel>
#include <QNetworkProxy>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdlib>

#include "net/hkp_index.h"
#include "net/hkp_server.h"
#include "net/https_fetch.h"
#include "net/proxy_env.h"
#include "net/wkd_address.h"
#include "sdk/key_changes.h"
#include "sdk/key_search.h"
#include "sdk/key_tree.h"
#include "sdk/sdk_session.h"
#include "tests/net_test_servers.h"
#include "tests/real_sdk.h"
#include "tests/test_support.h"
#include "windows/lookup_dialog.h"
#include "windows/frame_commands.h"
#include "windows/decode_window.h"
#include "windows/key_list_window.h"
#include "windows/verdict_panel.h"
#include "core/shared_passphrase.h"
#include "app/main_frame.h"
#include "core/app_config.h"
#include "sdk/key_details.h"

using namespace sdk;

namespace {

std::string commandOutput(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

// Sets an environment variable for one scope.
struct ScopedEnv {
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_.empty() ? unsetenv(name_) : setenv(name_, old_.c_str(), 1); }
    const char* name_;
    std::string old_;
};

}  // namespace

TEST(Wkd, AddressesAsGpgWksClientMakesThem)
{
    for (const char* address : {"Joe.Doe@Example.ORG", "alice@example.org", "x@a.b"}) {
        const std::string gpg = commandOutput(std::string("/usr/lib/gnupg/gpg-wks-client --print-wkd-hash '") +
                                              address + "' 2>/dev/null");
        ASSERT_FALSE(gpg.empty()) << "gpg-wks-client is needed";
        const QString local = QString(address).section('@', 0, 0);
        EXPECT_EQ(net::wkdHash(local).toStdString(), gpg.substr(0, gpg.find(' '))) << address;
    }
    const auto urls = net::wkdUrls("Joe.Doe@Example.ORG");
    ASSERT_TRUE(urls);
    EXPECT_EQ(urls->advanced.toString(), "https://openpgpkey.example.org/.well-known/openpgpkey/example.org/hu/"
                                         "iy9q119eutrkn8s1mk4r39qejnbu3n5q?l=Joe.Doe");
    EXPECT_EQ(urls->direct.toString(),
              "https://example.org/.well-known/openpgpkey/hu/iy9q119eutrkn8s1mk4r39qejnbu3n5q?l=Joe.Doe");
    for (const char* bad : {"no-at-sign", "@example.org", "a@b@example.org", "a@localhost", "a@example.org/x"})
        EXPECT_FALSE(net::wkdUrls(bad)) << bad;
}

TEST(Keyserver, RequestsOverHttpsOnly)
{
    const auto base = net::keyserverBase("hkps://keys.example.net:8443");
    ASSERT_TRUE(base);
    EXPECT_EQ(net::keyserverGet(*base, "0xABCDEF0123456789").toString(),
              "https://keys.example.net:8443/pks/lookup?op=get&options=mr&search=0xABCDEF0123456789");
    EXPECT_EQ(net::keyserverGet(*base, "a+b@example.org").toString(),
              "https://keys.example.net:8443/pks/lookup?op=get&options=mr&search=a%2Bb%40example.org");
    EXPECT_EQ(net::keyserverIndex(*base, "Bob Ex").toString(QUrl::FullyEncoded),
              "https://keys.example.net:8443/pks/lookup?op=index&options=mr&search=Bob%20Ex");
    EXPECT_EQ(net::keyserverAdd(*base).toString(), "https://keys.example.net:8443/pks/add");
    EXPECT_EQ(net::keyserverAddForm("-----BEGIN PGP\n+="), "keytext=-----BEGIN%20PGP%0A%2B%3D");
    for (const char* bad : {"hkp://keys.example.net", "http://keys.example.net", "keys.example.net", "hkps://"})
        EXPECT_FALSE(net::keyserverBase(bad)) << bad;
}

// A listing as a keyserver may send it: escaped user IDs, flags, key IDs
// of each length, lines that are not the listing's, and too many keys.
TEST(Keyserver, ListingsAreReadWhateverTheyHold)
{
    const QByteArray v6(64, 'C');
    const QByteArray listing = "info:1:4\r\n"
                               "pub:0123456789abcdef0123456789ABCDEF01234567:1:2048:1500000000:1600000000:r\r\n"
                               "uid:Alice%20%3A%20Example%20%C3%A9 <alice@example.org>:1500000000::\r\n"
                               "uid::::\n"
                               "pub:NOTHEX:1:2048:1::\n"
                               "uid:Mallory <m@example.org>:::\n"
                               "pub:0xa6dc82b567af6fa0:22:255:::de\n"
                               "uid:Bob <bob@example.org>\n"
                               "junk\n"
                               "pub:" + v6 + ":::-5:x:\n";
    const std::vector<net::IndexedKey> keys = net::parseKeyIndex(listing);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].keyId, "0123456789ABCDEF0123456789ABCDEF01234567");
    EXPECT_EQ(keys[0].created, 1500000000);
    EXPECT_EQ(keys[0].expires, 1600000000);
    EXPECT_TRUE(keys[0].revoked);
    EXPECT_FALSE(keys[0].expired);
    EXPECT_EQ(keys[0].userIds, QStringList {"Alice : Example \u00e9 <alice@example.org>"});
    EXPECT_EQ(keys[1].keyId, "A6DC82B567AF6FA0");
    EXPECT_TRUE(keys[1].disabled && keys[1].expired && !keys[1].revoked);
    EXPECT_EQ(keys[1].userIds, QStringList {"Bob <bob@example.org>"});  // not Mallory's
    EXPECT_EQ(keys[2].keyId, QString::fromLatin1(v6));
    EXPECT_EQ(keys[2].created, 0);
    EXPECT_TRUE(keys[2].userIds.isEmpty());
    QByteArray many;
    for (int i = 0; i < 600; ++i)
        many += "pub:" + QByteArray::number(1000000000000000 + i) + ":1:1:1::\nuid:x:::\n";
    EXPECT_EQ(net::parseKeyIndex(many).size(), net::kMaxIndexedKeys);
}

TEST(Proxy, AsTheEnvironmentNamesIt)
{
    ScopedEnv proxy("https_proxy", "http://127.0.0.1:3128");
    ScopedEnv upper("HTTPS_PROXY", nullptr);
    ScopedEnv none("no_proxy", "localhost,.internal.test, direct.example.org");
    const QNetworkProxy used = net::proxyFor(QUrl("https://keys.example.net/pks"));
    EXPECT_EQ(used.type(), QNetworkProxy::HttpProxy);
    EXPECT_EQ(used.hostName(), "127.0.0.1");
    EXPECT_EQ(used.port(), 3128);
    for (const char* direct : {"https://localhost/", "https://a.internal.test/", "https://direct.example.org/",
                               "https://x.direct.example.org/"})
        EXPECT_EQ(net::proxyFor(QUrl(direct)).type(), QNetworkProxy::NoProxy) << direct;
    EXPECT_EQ(net::proxyFor(QUrl("https://notdirect.example.org/")).type(), QNetworkProxy::HttpProxy);
    ScopedEnv all("no_proxy", "*");
    EXPECT_EQ(net::proxyFor(QUrl("https://keys.example.net/")).type(), QNetworkProxy::NoProxy);
}

TEST(Fetch, PlainHttpIsRefusedBeforeAnythingIsSent)
{
    const net::FetchResult r = net::fetch({QUrl("http://127.0.0.1:9/x"), {}, 2000, 1024, nullptr});
    EXPECT_EQ(r.failure, net::FetchFailure::Insecure);
    EXPECT_TRUE(r.body.isEmpty());
    EXPECT_TRUE(r.message.contains("plain HTTP"));
}

TEST(KeyQueries, WhatCanBeLookedUp)
{
    const std::pair<const char*, KeyQuery> cases[] = {
        {"Alice@Example.org", {QueryKind::Address, "alice@example.org"}},
        {"<bob@example.org>", {QueryKind::Address, "bob@example.org"}},
        {"Bob Example <Bob@Example.org>", {QueryKind::Address, "bob@example.org"}},
        {"0x0123456789abcdef0123456789ABCDEF01234567", {QueryKind::Fingerprint, "0123456789ABCDEF0123456789ABCDEF01234567"}},
        {"0123 4567 89AB CDEF 0123  4567 89AB CDEF 0123 4567", {QueryKind::Fingerprint, "0123456789ABCDEF0123456789ABCDEF01234567"}},
        {"0xA6DC82B567AF6FA0", {QueryKind::KeyId, "A6DC82B567AF6FA0"}},
        {"67AF6FA0", {QueryKind::KeyId, "67AF6FA0"}},
        {"  Alice Example ", {QueryKind::Text, "Alice Example"}},
        {"Ali", {QueryKind::Text, "Ali"}},
        {"ABCDEF", {QueryKind::Text, "ABCDEF"}},  // hex, but of no key's length
    };
    for (const auto& [text, want] : cases) {
        const KeyQuery q = parseKeyQuery(text);
        EXPECT_EQ(q.kind, want.kind) << text;
        EXPECT_EQ(q.text, want.text) << text;
    }
    for (const char* bad : {"", "Al", "   ", "0x123", "0xZZ3456789ABCDEF0", "alice@localhost", "Alice Example <alice>"})
        EXPECT_EQ(parseKeyQuery(bad).kind, QueryKind::Invalid) << bad;
}

// An answer holding several keys gives only those that match what was
// asked; the others are counted as left out.
TEST(KeyQueries, OnlyMatchingKeysOfAnAnswerAreKept)
{
    ScratchDir dir;
    RealSdk session(dir);
    ASSERT_EQ(sdk::PGP_LoadRings(), 0);
    const std::string answer = readWholeFile(fixtureRing("pubring.pgp"));
    int dropped = 0;
    std::vector<FoundKey> keys = matchingKeys(answer, parseKeyQuery("alice@example.org"), "test", dropped);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].userIds, std::vector<std::string> {"Alice Example <alice@example.org>"});
    EXPECT_EQ(keys[0].source, "test");
    EXPECT_GT(dropped, 5);
    const std::string alice = keys[0].fingerprint;
    EXPECT_EQ(alice.size(), 40u);
    EXPECT_FALSE(keys[0].keyBytes.empty());

    dropped = 0;
    keys = matchingKeys(answer, parseKeyQuery(alice), "test", dropped);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].fingerprint, alice);
    dropped = 0;
    keys = matchingKeys(answer, parseKeyQuery(alice.substr(24)), "test", dropped);  // its key ID
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].fingerprint, alice);
    // What was found is public only, and reads back as the same key.
    dropped = 0;
    EXPECT_EQ(matchingKeys(keys[0].keyBytes, parseKeyQuery(alice), "again", dropped).size(), 1u);
    EXPECT_EQ(dropped, 0);
    writeWholeFile(dir.file("found.pgp"), keys[0].keyBytes);
    const std::string packets = commandOutput("gpg --list-packets '" + dir.file("found.pgp") + "' 2>/dev/null");
    EXPECT_NE(packets.find(":public key packet:"), std::string::npos);
    EXPECT_EQ(packets.find("secret"), std::string::npos);
    dropped = 0;
    EXPECT_TRUE(matchingKeys(answer, parseKeyQuery("nobody@example.org"), "test", dropped).empty());
    EXPECT_TRUE(matchingKeys("not a key", parseKeyQuery(alice), "test", dropped).empty());
}

namespace {

// The test servers behind the test proxy, which the environment names as
// the system's; the test CA is trusted through SSL_CERT_FILE.
class NetworkLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Copies of the rings, which a refresh may change.
        useRingCopies("");
        ASSERT_EQ(sdk::PGP_LoadRings(), 0);
        int dropped = 0;
        for (const char* who : {"alice@example.org", "bob@example.org", "carol@example.org"}) {
            keys[who] = matchingKeys(readWholeFile(fixtureRing("pubring.pgp")), parseKeyQuery(who), "fixture", dropped)
                            .at(0);
            keyserver.add(QByteArray::fromStdString(keys[who].keyBytes));
        }
    }
    // The frame with the window action opens, the keyserver the test one.
    QWidget* openWithTestKeyserver(MainFrame& frame, const char* action)
    {
        writeWholeFile(AppConfig::instance().snapshot().IniPath, "[Tolv]\nKeyserver=hkps://keys.example.net\nUseWKD=false\n");
        wireFrameCommands(frame);
        frame.show();
        frame.findChild<QAction*>(action)->trigger();
        if (!waitFor([&] { return !frame.mdiArea()->subWindowList().isEmpty(); }))
            return nullptr;
        return frame.mdiArea()->subWindowList().back()->widget();
    }
    void useRingCopies(const std::string& prefix)
    {
        writeWholeFile(dir.file(prefix + "pub.pgp"), readWholeFile(fixtureRing("pubring.pgp")));
        writeWholeFile(dir.file(prefix + "sec.pgp"), readWholeFile(fixtureRing("secring.pgp")));
        session.useRings(dir.file(prefix + "pub.pgp"), dir.file(prefix + "sec.pgp"));
    }
    TestAnswer answer(const QByteArray& method, const QByteArray& target, const QByteArray& body)
    {
        const std::string alice = keys["alice@example.org"].keyBytes, carol = keys["carol@example.org"].keyBytes;
        const QByteArray hash = net::wkdHash("alice").toLatin1();
        if (target == "/.well-known/openpgpkey/example.org/hu/" + hash + "?l=alice" ||
            target == "/.well-known/openpgpkey/hu/" + hash + "?l=alice")
            return {200, QByteArray::fromStdString(alice + carol), {}, 0};  // Carol's does not belong here
        if (method == "POST" && target == "/pks/add")
            published = body;
        if (auto a = keyserver.answer(method, target, body))
            return *a;
        if (target == "/big")
            return {200, QByteArray(5 << 20, 'x'), {}, 0};
        if (target == "/slow")
            return {200, "late", {}, 3000};
        if (target == "/plain")
            return {302, {}, "http://keys.example.net/elsewhere", 0};
        if (target.startsWith("/hop/"))  // /hop/N: N more redirects, then an answer
            return target == "/hop/0" ? TestAnswer {200, "arrived", {}, 0}
                                      : TestAnswer {302, {}, "/hop/" + QByteArray::number(target.mid(5).toInt() - 1), 0};
        return {404, {}, {}, 0};
    }
    ScratchDir dir;
    RealSdk session {dir};
    std::map<std::string, FoundKey> keys;
    TestCa ca {dir.path()};
    // The servers' certificates, made before the servers start.
    struct Certificates {
        explicit Certificates(const TestCa& ca)
        {
            ca.makeServerCertificate("good", {"openpgpkey.example.org", "example.org", "keys.example.net"});
            ca.makeServerCertificate("wrong", {"other.test"});
            ca.makeExpiredCertificate("expired", "expired.example.org");
        }
    } certificates {ca};
    QByteArray published;
    TestKeyserver keyserver {dir.file("keyserver")};
    HttpsTestServer server {ca, "good", [this](auto&& m, auto&& t, auto&& b) { return answer(m, t, b); }};
    HttpsTestServer misnamed {ca, "wrong", [](auto&&, auto&&, auto&&) { return TestAnswer {200, "x", {}, 0}; }};
    HttpsTestServer expired {ca, "expired", [](auto&&, auto&&, auto&&) { return TestAnswer {200, "x", {}, 0}; }};
    TestProxy proxy {{{"openpgpkey.example.org", server.port()},
                      {"expired.example.org", expired.port()},
                      {"keys.example.net", server.port()},
                      {"misnamed.example.org", misnamed.port()}}};
    ScopedEnv proxySetting {"https_proxy", ("http://127.0.0.1:" + std::to_string(proxy.port())).c_str()};
    ScopedEnv noProxy {"no_proxy", nullptr};
    ScopedEnv trusted {"SSL_CERT_FILE", ca.caFile().c_str()};
};

}  // namespace

TEST_F(NetworkLookup, FoundByEachMethodAndOnlyTheMatchingKey)
{
    const std::string alice = keys["alice@example.org"].fingerprint;
    LookupResult wkd = lookUpKeys(parseKeyQuery("alice@example.org"), {QString(), true});
    ASSERT_EQ(wkd.keys.size(), 1u) << (wkd.notes.empty() ? "" : wkd.notes[0]);
    EXPECT_EQ(wkd.keys[0].fingerprint, alice);
    EXPECT_EQ(wkd.keys[0].source, "WKD openpgpkey.example.org");
    EXPECT_EQ(wkd.notes, std::vector<std::string> {"WKD openpgpkey.example.org: 1 key(s) that do not match were left out"});

    // A keyserver answer holding another key besides the one asked for.
    keyserver.alsoSend = QByteArray::fromStdString(keys["carol@example.org"].keyBytes);
    for (const std::string& asked : {alice, "0x" + alice.substr(24)}) {
        LookupResult hkp = lookUpKeys(parseKeyQuery(asked), {"hkps://keys.example.net", false});
        ASSERT_EQ(hkp.keys.size(), 1u) << asked;
        EXPECT_EQ(hkp.keys[0].fingerprint, alice);
        EXPECT_EQ(hkp.keys[0].source, "keyserver keys.example.net");
        EXPECT_EQ(hkp.notes, std::vector<std::string> {"keyserver keys.example.net: 1 key(s) that do not match were left out"});
    }

    // Not found, and nothing to find at a keyserver that is not there.
    LookupResult none = lookUpKeys(parseKeyQuery("nobody@example.org"), {"hkps://nokeys.example.net", true});
    EXPECT_TRUE(none.keys.empty());
    ASSERT_EQ(none.notes.size(), 2u);
    EXPECT_EQ(none.notes[1], "keyserver nokeys.example.net: No such host: nokeys.example.net");
}

TEST_F(NetworkLookup, TheDirectMethodOnlyWhereTheAdvancedHostIsMissing)
{
    TestProxy direct {{{"example.org", server.port()}}};
    ScopedEnv through {"https_proxy", ("http://127.0.0.1:" + std::to_string(direct.port())).c_str()};
    LookupResult wkd = lookUpKeys(parseKeyQuery("alice@example.org"), {QString(), true});
    ASSERT_EQ(wkd.keys.size(), 1u) << (wkd.notes.empty() ? "" : wkd.notes[0]);
    EXPECT_EQ(wkd.keys[0].source, "WKD example.org");
}

TEST_F(NetworkLookup, EveryLimitHolds)
{
    auto get = [](const char* url, int timeoutMs = 15000) {
        return net::fetch({QUrl(url), {}, timeoutMs, 1 << 20, nullptr});
    };
    EXPECT_EQ(get("https://keys.example.net/big").failure, net::FetchFailure::TooLarge);
    EXPECT_EQ(get("https://keys.example.net/slow", 500).failure, net::FetchFailure::TimedOut);  // 3 s late
    EXPECT_EQ(get("https://keys.example.net/plain").failure, net::FetchFailure::Insecure);
    const net::FetchResult wrongName = get("https://misnamed.example.org/");
    EXPECT_EQ(wrongName.failure, net::FetchFailure::Tls);
    EXPECT_TRUE(wrongName.message.startsWith("The certificate of misnamed.example.org is not valid"))
        << wrongName.message.toStdString();
    EXPECT_EQ(get("https://keys.example.net/missing").failure, net::FetchFailure::NotFound);
    const net::FetchResult old = get("https://expired.example.org/");
    EXPECT_EQ(old.failure, net::FetchFailure::Tls);
    EXPECT_TRUE(old.message.contains("expired")) << old.message.toStdString();
    const net::FetchResult fifth = get("https://keys.example.net/hop/5");
    EXPECT_TRUE(fifth.ok()) << fifth.message.toStdString();
    EXPECT_EQ(fifth.body, "arrived");
    EXPECT_EQ(get("https://keys.example.net/hop/6").failure, net::FetchFailure::Redirects);
    {
        ScopedEnv untrusted {"SSL_CERT_FILE", nullptr};
        EXPECT_EQ(get("https://keys.example.net/pks").failure, net::FetchFailure::Tls);
    }
    std::atomic<bool> stop {true};
    EXPECT_EQ(net::fetch({QUrl("https://keys.example.net/slow"), {}, 5000, 1024, &stop}).failure,
              net::FetchFailure::Cancelled);
}

TEST_F(NetworkLookup, PublishSendsThePublicKeyOnly)
{
    keyserver.clear();
    ASSERT_TRUE(publishKey("alice@example.org", {"hkps://keys.example.net", false}));
    ASSERT_TRUE(published.startsWith("keytext="));
    const QByteArray armour = QByteArray::fromPercentEncoding(published.mid(8));
    EXPECT_TRUE(armour.startsWith("-----BEGIN PGP PUBLIC KEY BLOCK-----"));
    writeWholeFile(dir.file("sent.asc"), armour.toStdString());
    const std::string packets = commandOutput("gpg --list-packets '" + dir.file("sent.asc") + "' 2>/dev/null");
    EXPECT_NE(packets.find(":public key packet:"), std::string::npos);
    EXPECT_EQ(packets.find("secret"), std::string::npos);
    // What was sent is Alice's key as a look-up finds it again.
    const LookupResult again = lookUpKeys(parseKeyQuery(keys["alice@example.org"].fingerprint), {"hkps://keys.example.net", false});
    ASSERT_EQ(again.keys.size(), 1u);
    EXPECT_EQ(again.keys[0].userIds, std::vector<std::string> {"Alice Example <alice@example.org>"});
    EXPECT_TRUE(again.notes.empty());
    EXPECT_FALSE(publishKey("alice@example.org", {"hkps://nokeys.example.net", false}));
    EXPECT_TRUE(Prompts::shownMessages().back().text.startsWith("The key was not published: No such host"));
}

// A refresh brings what the keyserver knows: here Alice's revocation.
TEST_F(NetworkLookup, ARefreshBringsARevocation)
{
    const std::string alice = keys["alice@example.org"].fingerprint;
    // Alice revoked, in rings of their own, as the keyserver will have her.
    sdk::UnLoad_PGP();
    useRingCopies("other-");
    ASSERT_EQ(sdk::PGP_LoadRings(), 0);
    ASSERT_TRUE(sdk::revokeKey("alice@example.org", SecretText("alice")));
    int dropped = 0;
    const auto revoked = matchingKeys(readWholeFile(dir.file("other-pub.pgp")), parseKeyQuery(alice), "", dropped);
    ASSERT_EQ(revoked.size(), 1u);
    keyserver.add(QByteArray::fromStdString(revoked[0].keyBytes));  // as Alice would publish it
    sdk::UnLoad_PGP();
    session.useRings(dir.file("pub.pgp"), dir.file("sec.pgp"));
    ASSERT_EQ(sdk::PGP_LoadRings(), 0);

    const RefreshResult r = refreshKeys({"alice@example.org"}, {"hkps://keys.example.net", false});
    ASSERT_TRUE(r.counts);
    EXPECT_EQ(r.counts->updated, 1u);
    bool revokedNow = false;
    for (const KeyTreeRow& row : fillKeyTree(kPGPUserIDOrdering))
        if (std::abs(row.Level) == 1 && row.Name == "Alice Example <alice@example.org>")
            revokedNow = row.IsRevoked;
    EXPECT_TRUE(revokedNow);
}

// tolv-cli's look-ups: its own process, the same proxy and CA through the
// environment, the keyserver from the settings file's [Tolv] section.
TEST_F(NetworkLookup, TolvCliLooksUpRefreshesAndPublishes)
{
    const std::string ini = dir.file("cli.ini");
    auto cli = [&](const std::string& keyserverSetting, const std::string& args, std::string* out = nullptr) {
        writeWholeFile(ini, "[PGP]\nDLLName=pgpsdk.dll\nPubRing=" + dir.file("pub.pgp") + "\nSecRing=" +
                                dir.file("sec.pgp") + "\n[Tolv]\nKeyserver=" + keyserverSetting + "\nUseWKD=true\n");
        const std::string command = "'" + binDir() + "/tolv-cli' --ini '" + ini + "' " + args + " 2>&1";
        std::string output = commandOutput(command + "; echo \"exit $?\"");
        if (out)
            *out = output;
        return std::stoi(output.substr(output.rfind("exit ") + 5));
    };
    std::string out;
    ASSERT_EQ(cli("hkps://keys.example.net", "lookup --import alice@example.org", &out), 0) << out;
    const std::string alice = keys["alice@example.org"].fingerprint;
    EXPECT_NE(out.find("key\t" + alice + "\t"), std::string::npos) << out;
    EXPECT_NE(out.find("WKD openpgpkey.example.org, keyserver keys.example.net"), std::string::npos) << out;
    EXPECT_NE(out.find("uid\tAlice Example <alice@example.org>\n"), std::string::npos) << out;
    EXPECT_NE(out.find("imported: 0 new, 0 updated, 1 unchanged"), std::string::npos) << out;
    EXPECT_EQ(out.find("Carol"), std::string::npos) << out;
    EXPECT_EQ(cli("hkps://nokeys.example.net", "lookup 0x" + alice.substr(24)), 9);  // a server failed
    EXPECT_EQ(cli("hkps://keys.example.net", "lookup 0x123"), 2);
    EXPECT_EQ(cli("hkps://keys.example.net", "lookup nobody@example.org"), 4);  // found nowhere
    ASSERT_EQ(cli("hkps://keys.example.net", "lookup --import 'Bob Ex'", &out), 0) << out;  // by name
    EXPECT_NE(out.find("key\t" + keys["bob@example.org"].fingerprint + "\t"), std::string::npos) << out;
    EXPECT_NE(out.find("imported: 0 new, 0 updated, 1 unchanged"), std::string::npos) << out;
    EXPECT_EQ(cli("hkps://keys.example.net", "refresh alice@example.org", &out), 0) << out;
    EXPECT_NE(out.find("imported: 0 new, 0 updated, 1 unchanged"), std::string::npos) << out;
    EXPECT_EQ(cli("hkps://keys.example.net", "publish alice@example.org"), 2);  // no --yes
    EXPECT_TRUE(published.isEmpty());
    EXPECT_EQ(cli("hkps://keys.example.net", "publish --yes alice@example.org", &out), 0) << out;
    EXPECT_TRUE(published.startsWith("keytext="));
}

// The window: the dialog lists what it found, imports the chosen keys, and
// a look-up under way can be cancelled.
TEST_F(NetworkLookup, TheLookupDialogListsImportsAndCancels)
{
    writeWholeFile(AppConfig::instance().snapshot().IniPath, "[Tolv]\nKeyserver=hkps://keys.example.net\nUseWKD=false\n");
    const std::string alice = keys["alice@example.org"].fingerprint;
    LookupDialog dialog(nullptr, QString::fromStdString("0x" + alice.substr(24)));
    dialog.show();
    dialog.findChild<QPushButton*>("lookUpButton")->click();
    ASSERT_TRUE(waitFor([&] { return !dialog.busy(); }, 20000));
    auto* results = dialog.findChild<QTreeWidget*>("results");
    ASSERT_EQ(results->topLevelItemCount(), 1);
    EXPECT_EQ(results->topLevelItem(0)->text(0).toStdString(), groupedFingerprint(alice));
    EXPECT_EQ(results->topLevelItem(0)->child(0)->text(0), "Alice Example <alice@example.org>");
    EXPECT_EQ(dialog.findChild<QLabel*>("lookupNotes")->text(), "");
    dialog.findChild<QPushButton*>("importButton")->click();
    ASSERT_TRUE(waitFor([&] { return !dialog.busy(); }, 20000));
    EXPECT_EQ(dialog.findChild<QLabel*>("lookupNotes")->text(),
              "Imported: 0 new, 0 updated, 1 unchanged (Alice Example <alice@example.org>)");

    // By name: the keyserver's listing, whose chosen key is got on import.
    dialog.findChild<QLineEdit*>("query")->setText("carol PUBLIC");
    dialog.findChild<QPushButton*>("lookUpButton")->click();
    ASSERT_TRUE(waitFor([&] { return !dialog.busy(); }, 20000));
    ASSERT_EQ(results->topLevelItemCount(), 1);
    EXPECT_EQ(results->topLevelItem(0)->text(0).toStdString(), groupedFingerprint(keys["carol@example.org"].fingerprint));
    EXPECT_EQ(results->topLevelItem(0)->child(0)->text(0), "Carol Public <carol@example.org>");
    EXPECT_EQ(results->topLevelItem(0)->text(2), "never");
    EXPECT_TRUE(dialog.found()[0].keyBytes.empty());
    saveScreenshot(&dialog, "lookup-dialog");
    dialog.findChild<QPushButton*>("importButton")->click();
    ASSERT_TRUE(waitFor([&] { return !dialog.busy(); }, 20000));
    EXPECT_EQ(dialog.findChild<QLabel*>("lookupNotes")->text(),
              "Imported: 0 new, 0 updated, 1 unchanged (Carol Public <carol@example.org>)");

    dialog.findChild<QLineEdit*>("query")->setText(QString::fromStdString("0x" + alice.substr(24)));
    keyserver.delayMs = 5000;
    QElapsedTimer clock;
    clock.start();
    dialog.findChild<QPushButton*>("lookUpButton")->click();
    ASSERT_TRUE(dialog.findChild<QPushButton*>("cancelButton")->isVisible());
    dialog.findChild<QPushButton*>("cancelButton")->click();
    ASSERT_TRUE(waitFor([&] { return !dialog.busy(); }, 20000));
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(dialog.findChild<QLabel*>("lookupNotes")->text().contains("Cancelled"));
    EXPECT_EQ(results->topLevelItemCount(), 0);
}

namespace {

// A real web server from Debian (lighttpd) serving Web Key Directory trees
// that gpg-wks-client made, in the advanced layout for openpgpkey.example.org
// and in the direct one for example.org, with a certificate of the test CA.
class WkdOnLighttpd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sdk::PGP_LoadRings(), 0);
        const std::string tree = dir.file("tree"), advanced = dir.file("advanced"), direct = dir.file("direct");
        ASSERT_EQ(runShell("mkdir -p '" + tree + "' '" + advanced + "/.well-known' '" + direct + "/.well-known/openpgpkey'"), 0);
        for (const char* who : {"alice@example.org", "bob@example.org"}) {
            ASSERT_EQ(gnupg.gpg(std::string("--export -o '") + dir.file(who) + "' " + who), 0);
            ASSERT_EQ(runShell("GNUPGHOME='" + gnupg.home + "' /usr/lib/gnupg/gpg-wks-client -C '" + tree +
                               "' --install-key '" + dir.file(who) + "' " + who + " >/dev/null 2>&1"),
                      0);
        }
        // Bob's file also holds Carol's key, which is not for his address.
        ASSERT_EQ(gnupg.gpg("--export carol@example.org >> '" + tree + "/example.org/hu/" +
                            net::wkdHash("bob").toStdString() + "'"),
                  0);
        ASSERT_EQ(runShell("cp -r '" + tree + "' '" + advanced + "/.well-known/openpgpkey' && cp -r '" + tree +
                           "/example.org/.' '" + direct + "/.well-known/openpgpkey/'"),
                  0);
        ca.makeServerCertificate("wkd", {"openpgpkey.example.org", "example.org"});
        startLighttpd(advanced, direct);
    }
    void TearDown() override { runShell("kill $(cat '" + dir.file("lighttpd.pid") + "') 2>/dev/null"); }
    void startLighttpd(const std::string& advanced, const std::string& direct)
    {
        QTcpServer probe;  // a free port on 127.0.0.1
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
        probe.close();
        writeWholeFile(dir.file("lighttpd.conf"),
                       "server.modules += (\"mod_openssl\")\nserver.bind = \"127.0.0.1\"\nserver.port = " +
                           std::to_string(port) + "\nserver.document-root = \"" + direct +
                           "\"\nssl.engine = \"enable\"\nssl.pemfile = \"" + dir.file("wkd.pem") +
                           "\"\nssl.privkey = \"" + dir.file("wkd.key") + "\"\n$HTTP[\"host\"] == "
                           "\"openpgpkey.example.org\" {\n  server.document-root = \"" + advanced + "\"\n}\n");
        // The server ends by itself after two minutes, whatever becomes of the test.
        ASSERT_EQ(runShell("(timeout 120 /usr/sbin/lighttpd -D -f '" + dir.file("lighttpd.conf") + "' >'" +
                           dir.file("lighttpd.log") + "' 2>&1 & echo $! >'" + dir.file("lighttpd.pid") + "')"),
                  0);
        ASSERT_TRUE(waitFor([&] {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port);
            return s.waitForConnected(200);
        }, 10000)) << readWholeFile(dir.file("lighttpd.log"));
    }
    ScratchDir dir;
    RealSdk session {dir};
    GpgHome gnupg {dir.file("gnupg")};
    TestCa ca {dir.path()};
    quint16 port = 0;
    ScopedEnv noProxy {"no_proxy", nullptr};
    ScopedEnv trusted {"SSL_CERT_FILE", ca.caFile().c_str()};
};

}  // namespace

TEST_F(WkdOnLighttpd, AdvancedAndDirectLayoutsAsGpgWksClientMakesThem)
{
    TestProxy proxy {{{"openpgpkey.example.org", port}}};
    ScopedEnv through {"https_proxy", ("http://127.0.0.1:" + std::to_string(proxy.port())).c_str()};
    LookupResult alice = lookUpKeys(parseKeyQuery("alice@example.org"), {QString(), true});
    ASSERT_EQ(alice.keys.size(), 1u) << (alice.notes.empty() ? "" : alice.notes[0]);
    EXPECT_EQ(alice.keys[0].userIds, std::vector<std::string> {"Alice Example <alice@example.org>"});
    EXPECT_EQ(alice.keys[0].source, "WKD openpgpkey.example.org");
    EXPECT_TRUE(alice.notes.empty());

    // A second key in the answer, for another address, is left out.
    LookupResult bob = lookUpKeys(parseKeyQuery("Bob@Example.org"), {QString(), true});
    ASSERT_EQ(bob.keys.size(), 1u);
    EXPECT_EQ(bob.keys[0].userIds, std::vector<std::string> {"Bob Example <bob@example.org>"});
    EXPECT_EQ(bob.notes, std::vector<std::string> {"WKD openpgpkey.example.org: 1 key(s) that do not match were left out"});
    EXPECT_TRUE(lookUpKeys(parseKeyQuery("nobody@example.org"), {QString(), true}).keys.empty());

    // Without openpgpkey.example.org, the direct method on example.org.
    TestProxy directOnly {{{"example.org", port}}};
    ScopedEnv direct {"https_proxy", ("http://127.0.0.1:" + std::to_string(directOnly.port())).c_str()};
    alice = lookUpKeys(parseKeyQuery("alice@example.org"), {QString(), true});
    ASSERT_EQ(alice.keys.size(), 1u) << (alice.notes.empty() ? "" : alice.notes[0]);
    EXPECT_EQ(alice.keys[0].source, "WKD example.org");
}

// gpg's own WKD look-up against the same server takes the same keys. Its
// dirmngr trusts only the system's CA file, so it runs in a mount namespace
// of its own where the test CA stands in that file's place.
TEST_F(WkdOnLighttpd, GpgLocateKeysFindsTheSameKeys)
{
    if (runShell("unshare -r -m true 2>/dev/null") != 0)
        GTEST_SKIP() << "no mount namespace for dirmngr here";
    TestProxy proxy {{{"openpgpkey.example.org", port}}};
    const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port());
    ScopedEnv through {"https_proxy", proxyUrl.c_str()};
    GpgHome peer {dir.file("peer"), false};
    writeWholeFile(peer.home + "/dirmngr.conf", "honor-http-proxy\nstandard-resolver\n");
    writeWholeFile(dir.file("hosts"), "127.0.0.1 openpgpkey.example.org\n");  // dirmngr asks DNS first
    for (const char* who : {"alice@example.org", "bob@example.org"}) {
        const std::string gpgRun = "gpg --homedir '" + peer.home + "' --batch --auto-key-locate clear,wkd --locate-keys " +
                                   who + " 2>&1; gpgconf --homedir '" + peer.home + "' --kill dirmngr";
        std::string said;
        runShell("unshare -r -m sh -c \"mount --bind '" + ca.caFile() + "' /etc/ssl/certs/ca-certificates.crt && " +
                     "mount --bind '" + dir.file("hosts") + "' /etc/hosts && http_proxy=" + proxyUrl + " " + gpgRun + "\"",
                 &said);
        std::string listed;
        peer.gpg(std::string("--with-colons --list-keys ") + who, &listed);
        const LookupResult tolv = lookUpKeys(parseKeyQuery(who), {QString(), true});
        ASSERT_EQ(tolv.keys.size(), 1u) << who;
        EXPECT_NE(listed.find("fpr:::::::::" + tolv.keys[0].fingerprint + ":"), std::string::npos) << who << said;
    }
    // Carol's key, beside Bob's in his file, was taken by neither.
    std::string all;
    peer.gpg("--with-colons --list-keys", &all);
    EXPECT_EQ(all.find("carol@"), std::string::npos) << all;
    std::size_t keysTaken = 0;
    for (std::size_t at = all.find("\npub:"); at != std::string::npos; at = all.find("\npub:", at + 1))
        ++keysTaken;
    EXPECT_EQ(keysTaken + (all.rfind("pub:", 0) == 0), 2u) << all;
}

// The key list's network entries: Publish… asks first and sends the key
// pair's public part; Refresh looks the selected key up again.
TEST_F(NetworkLookup, TheKeyListPublishesAndRefreshes)
{
    MainFrame frame;
    auto* list = qobject_cast<KeyListWindow*>(openWithTestKeyserver(frame, "actionKeyList"));
    ASSERT_NE(list, nullptr);
    auto select = [&](const QString& name) {
        for (int r = 0; r < list->model()->rowCount(); ++r)
            if (list->model()->index(r, 0).data().toString().startsWith(name))
                list->tree()->setCurrentIndex(list->model()->index(r, 0));
    };
    auto act = [&](const char* name) {
        list->findChild<QAction*>(name)->trigger();
        return waitFor([&] { return !list->busy(); }, 20000);
    };
    select("Carol");
    EXPECT_FALSE(list->findChild<QAction*>("publish")->isEnabled());  // no key pair of ours
    select("Alice");
    Prompts::queueQuestionAnswer(false);
    ASSERT_TRUE(act("publish"));
    EXPECT_TRUE(published.isEmpty());  // the user said no
    EXPECT_TRUE(Prompts::questionsAsked().back().contains("hkps://keys.example.net"));
    Prompts::queueQuestionAnswer(true);
    ASSERT_TRUE(act("publish"));
    ASSERT_TRUE(waitFor([&] { return frame.statusBar()->currentMessage().startsWith("Published: Alice"); }));
    EXPECT_TRUE(published.startsWith("keytext="));

    ASSERT_TRUE(act("refreshFromNetwork"));
    ASSERT_TRUE(waitFor([&] {
        return frame.statusBar()->currentMessage() ==
               "Imported: 0 new, 0 updated, 1 unchanged (Alice Example <alice@example.org>)";
    })) << frame.statusBar()->currentMessage().toStdString();
}

// An unknown signer's "Look up" asks the keyserver for the signer's key ID,
// and says when it has none.
TEST_F(NetworkLookup, AnUnknownSignerIsLookedUpFromTheVerdict)
{
    MainFrame frame;
    auto* decode = qobject_cast<DecodeWindow*>(openWithTestKeyserver(frame, "actionDecodePGP"));
    ASSERT_NE(decode, nullptr);
    Prompts::queueFileAnswer(QString::fromStdString(fixtureRing("olivia-signed.asc")));
    decode->findChild<QPushButton*>("loadButton")->click();
    ASSERT_TRUE(waitFor([&] { return !decode->busy(); }));
    SharedPassphrase::instance().set("none needed");
    decode->findChild<QPushButton*>("decodeButton")->click();
    ASSERT_TRUE(waitFor([&] { return !decode->busy(); }));
    auto* lookUp = decode->findChild<QPushButton*>("lookUpSigner");
    ASSERT_NE(lookUp, nullptr);
    lookUp->click();
    auto* dialog = decode->findChild<LookupDialog*>("lookupDialog");
    ASSERT_NE(dialog, nullptr);
    const QString keyId = dialog->findChild<QLineEdit*>("query")->text();
    EXPECT_TRUE(decode->verdicts()->texts().value(0).contains(keyId)) << keyId.toStdString();
    ASSERT_TRUE(waitFor([&] { return !dialog->busy(); }, 20000));
    EXPECT_EQ(dialog->findChild<QLabel*>("lookupNotes")->text(),
              "No key was found.\nkeyserver keys.example.net: Not found on keys.example.net");
}

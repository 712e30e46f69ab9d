// How long one keystroke in the key list's search field takes on a list
// of N keys (default 10,000), each with two user IDs: the time from the
// field's new text to the tree laid out again, median of 21 keystrokes.
// The rows are made up, as the key list would have them from the rings.
// Usage: bench_key_filter [N]
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "windows/key_list_window.h"

namespace {

KeyTreeList madeUpRows(int keys)
{
    KeyTreeList rows;
    char hex[41];
    for (int k = 0; k < keys; ++k) {
        std::snprintf(hex, sizeof hex, "%040X", static_cast<unsigned>(k) * 2654435761u);
        KeyTreeRow key;
        key.Level = -1;
        key.Name = "User " + std::to_string(k) + " <user" + std::to_string(k) + "@example.org>";
        key.KeyIDText = std::string("0x") + (hex + 24);
        key.Fingerprint = hex;
        key.Description = "ECC public key";
        rows.push_back(key);
        for (const std::string& uid : {key.Name, "Other " + std::to_string(k) + " <other" + std::to_string(k) + "@example.net>"}) {
            KeyTreeRow u;
            u.Level = -2;
            u.Name = uid;
            u.Description = "User ID";
            rows.push_back(u);
        }
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int keys = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    KeyListWindow window;
    window.model()->setRows(madeUpRows(keys));
    window.show();
    QApplication::processEvents();
    auto* filter = window.findChild<QLineEdit*>("keyFilter");
    const char* typed[] = {"u", "us", "use", "user", "user ", "user 9", "user 99", "user 999", "user 9999", "user 999",
                           "user 99", "user 9", "user ", "other", "example.net", "0x", "0xa", "", "a1b", "a1", ""};
    std::vector<qint64> micros;
    for (const char* text : typed) {
        QElapsedTimer clock;
        clock.start();
        filter->setText(text);
        window.tree()->doItemsLayout();  // as the next paint would
        QApplication::processEvents();
        micros.push_back(clock.nsecsElapsed() / 1000);
    }
    std::sort(micros.begin(), micros.end());
    std::printf("keys=%d keystroke_median_ms=%.1f keystroke_max_ms=%.1f\n", keys, micros[micros.size() / 2] / 1000.0,
                micros.back() / 1000.0);
    return 0;
}

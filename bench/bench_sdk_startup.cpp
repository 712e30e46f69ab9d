// Times loading the SDK library and opening a key ring pair through Tolv's
// own code (Load_PGP and PGP_LoadRings), then filling and re-sorting the
// key list. Prints medians in milliseconds.
#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/app_config.h"
#include "pgpsdk/pgpsdk.h"
#include "sdk/sdk_session.h"
#include "sdk/key_tree.h"

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

template <typename F> double timeMs(F&& f)
{
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_sdk_startup PUBRING SECRING [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    AppConfigValues v;
    v.DLLName = "pgpsdk.dll";
    v.PubRing = argv[1];
    v.SecRing = argv[2];
    AppConfig::instance().assign(v);

    std::vector<double> load, rings, fill, sortCreation, sortKeyId;
    std::size_t rows = 0;
    for (int i = 0; i < runs; ++i) {
        load.push_back(timeMs([] { sdk::Load_PGP(); }));
        rings.push_back(timeMs([] { sdk::PGP_LoadRings(); }));
        fill.push_back(timeMs([&] { rows = fillKeyTree(kPGPUserIDOrdering).size(); }));
        sortCreation.push_back(timeMs([] { fillKeyTree(kPGPCreationOrdering); }));
        sortKeyId.push_back(timeMs([] { fillKeyTree(kPGPKeyIDOrdering); }));
        sdk::UnLoad_PGP();
    }
    std::printf("library load (Load_PGP)        %8.2f ms\n", median(load));
    std::printf("context and rings (LoadRings)  %8.2f ms\n", median(rings));
    std::printf("key list fill (%zu rows)       %8.2f ms\n", rows, median(fill));
    std::printf("re-sort by creation            %8.2f ms\n", median(sortCreation));
    std::printf("re-sort by key ID              %8.2f ms\n", median(sortKeyId));
    return 0;
}

#include "revocation_import.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "key_model.h"
#include "ring_changes.h"
#include "rnp_handles.h"

namespace pgpsdk {

namespace {

// Each signature's key and what became of it, from librnp's report:
// {"sigs":[{"public":"new","secret":"...","signer fingerprint":"..."},...]}.
struct SignatureOutcome {
    std::string fingerprint;
    bool added = false;
};

std::vector<SignatureOutcome> outcomesOf(const std::string& report)
{
    std::vector<SignatureOutcome> out;
    auto field = [&](std::size_t from, std::size_t to, const char* name) {
        const std::string marker = std::string("\"") + name + "\":";
        const auto at = report.find(marker, from);
        if (at == std::string::npos || at > to)
            return std::string();
        const auto open = report.find('"', at + marker.size());
        const auto close = report.find('"', open + 1);
        return open == std::string::npos || close == std::string::npos ? std::string()
                                                                        : report.substr(open + 1, close - open - 1);
    };
    for (auto at = report.find('{', 1); at != std::string::npos; at = report.find('{', at + 1)) {
        const auto end = report.find('}', at);
        // librnp reports fingerprints in lower case; the ring's are upper case
        SignatureOutcome o {upperHex(field(at, end, "signer fingerprint")), field(at, end, "public") == "new"};
        if (!o.fingerprint.empty() && field(at, end, "public") != "unknown key")
            out.push_back(o);
    }
    return out;
}

// Whatever stands before the armour (an explanation, or gpg's ':' that
// keeps a certificate from being imported by mistake) is left out.
std::vector<char> fromArmour(const std::vector<char>& bytes)
{
    static const char begin[] = "-----BEGIN PGP";
    const auto at = std::search(bytes.begin(), bytes.end(), begin, begin + std::strlen(begin));
    return at == bytes.end() ? bytes : std::vector<char>(at, bytes.end());
}

}  // namespace

std::unique_ptr<KeySet> importRevocations(const StoreRef& store, const CoreRef& core, const std::vector<char>& bytes)
{
    const std::vector<char> data = fromArmour(bytes);
    rnp_input_t raw = nullptr;
    if (data.empty() ||
        rnp_input_from_memory(&raw, reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), false) != RNP_SUCCESS)
        return nullptr;
    InputHandle input(raw);
    char* report = nullptr;
    if (rnp_import_signatures(store->ffi.get(), input.get(), 0, &report) != RNP_SUCCESS)
        return nullptr;
    const std::vector<SignatureOutcome> outcomes = outcomesOf(takeRnpString(report));
    std::vector<std::string> named, changed;
    for (const SignatureOutcome& o : outcomes) {
        if (std::find(named.begin(), named.end(), o.fingerprint) == named.end())
            named.push_back(o.fingerprint);
        if (o.added && std::find(changed.begin(), changed.end(), o.fingerprint) == changed.end())
            changed.push_back(o.fingerprint);
    }
    if (named.empty())
        return nullptr;
    retireKeys(*store, changed, false);
    for (const std::string& fp : changed)
        store->pending.emplace(fp, false);  // a change of this store's own, to keep
    store->dirty = store->dirty || !changed.empty();
    auto set = std::make_unique<KeySet>();
    set->core = core;
    set->store = store;
    set->keys = refreshRing(store, core, named, false);
    set->importedUpdated = static_cast<PGPUInt32>(changed.size());
    set->importedUnchanged = static_cast<PGPUInt32>(named.size() - changed.size());
    return set;
}

}  // namespace pgpsdk

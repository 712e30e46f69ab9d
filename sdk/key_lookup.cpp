#include "sdk/key_lookup.h"

#include "core/frontend.h"
#include "sdk/sdk_entry_table.h"
#include "sdk/sdk_messages.h"

namespace sdk {

namespace {

bool reportKeyChoice(const char* caption, const QString& text)
{
    frontend::notify({caption, text, frontend::Icon::Exclamation, frontend::Failure::KeyChoice});
    return false;
}

}  // namespace

bool FindSingleKey(PGPContextRef context, PGPKeySetRef keySet, const std::string& text, const FindSteps& steps,
                   const char* caption, KeySetHolder& found, FilterHolder& filterHolder)
{
    PGPFilterRef filter = nullptr;
    PGPError e = call::PGPNewUserIDStringFilter(context, text.c_str(), static_cast<PGPUInt32>(kPGPMatchSubString),
                                                &filter);
    if (e)
        return reportSdkFailure(caption, steps.filter, e), false;
    filterHolder.reset(filter);
    PGPKeySetRef filtered = nullptr;
    e = call::PGPFilterKeySet(keySet, filterHolder.get(), &filtered);
    if (e)
        return reportSdkFailure(caption, steps.search, e), false;
    found.reset(filtered);
    filterHolder.reset();
    PGPUInt32 count = 0;
    e = call::PGPCountKeys(found.get(), &count);
    if (e)
        return reportSdkFailure(caption, steps.count, e), false;
    if (count < 1)
        return reportKeyChoice(caption, "Unable to find a key for " + QString::fromStdString(text));
    if (count > 1)
        return reportKeyChoice(caption, "Ambiguous key choice: " + QString::fromStdString(text));
    return true;
}

PGPKeyRef onlyKey(PGPKeySetRef set)
{
    return KeyWalk(set, static_cast<PGPInt32>(kPGPAnyOrdering)).next();
}

}  // namespace sdk

#pragma once
// What the key list's forms share: a key's name as the forms show it, a
// field's answer, and the typed fields a form shows again when it comes
// back (never a passphrase).
#include <cstdlib>
#include <map>
#include <vector>
#include <string>

#include "app/prompts.h"
#include "sdk/key_tree.h"

namespace keyforms {

using Field = Prompts::FormField;
using Prefill = std::map<QString, QString>;

inline QString keyName(const KeyTreeRow& key)
{
    return QString::fromStdString(key.Name) + " (" + QString::fromStdString(key.KeyIDText) + ")";
}

inline std::string text(const Prompts::FormAnswer& answer, const QString& name)
{
    auto it = answer.find(name);
    return it == answer.end() ? std::string() : it->second.str();
}

// What was typed into the fields that are not masked, to show again when
// the form comes back; passphrases are never kept.
inline Prefill typedInto(const Prompts::FormRequest& request, const Prompts::FormAnswer& answer)
{
    Prefill kept;
    for (const Field& f : request.fields)
        if (f.kind != Field::Kind::Masked)
            kept[f.name] = QString::fromStdString(text(answer, f.name));
    return kept;
}

inline void fillIn(Prompts::FormRequest& request, const Prefill& prefill)
{
    for (Field& f : request.fields)
        if (auto it = prefill.find(f.name); it != prefill.end())
            f.initial = it->second;
}

// The user's key pairs that can certify the key of id: their names as the
// forms list them, and their key IDs in the same order.
struct Certifiers {
    QStringList names;
    std::vector<std::string> ids;
};

inline Certifiers certifiersFor(const KeyTreeList& rows, const std::string& id)
{
    Certifiers c;
    for (const KeyTreeRow& row : rows)
        if (std::abs(row.Level) == 1 && row.IsSecret && !row.IsRevoked && !row.IsExpired && row.KeyIDText != id)
            c.names << keyName(row), c.ids.push_back(row.KeyIDText);
    return c;
}

}  // namespace keyforms

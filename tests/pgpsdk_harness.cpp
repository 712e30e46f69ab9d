#include "tests/pgpsdk_harness.h"

#include "tests/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace harness {

std::string fixture(const std::string& name)
{
    const char* src = std::getenv("TOLV_SOURCE_DIR");
    return std::string(src ? src : ".") + "/tests/fixtures/" + name;
}

Session::Session()
{
    PGPsdkInit();
    PGPNewContext(kPGPsdkAPIVersion, &context);
}

Session::~Session()
{
    if (keys)
        PGPFreeKeySet(keys);
    if (context)
        PGPFreeContext(context);
    PGPsdkCleanup();
}

PGPError Session::open(const std::string& pub, const std::string& sec)
{
    if (keys) {
        PGPFreeKeySet(keys);
        keys = nullptr;
    }
    PGPFileSpecRef p = nullptr, s = nullptr;
    PGPError e = PGPNewFileSpecFromFullPath(context, pub.c_str(), &p);
    if (e)
        return e;
    e = PGPNewFileSpecFromFullPath(context, sec.c_str(), &s);
    if (!e)
        e = PGPOpenKeyRingPair(context, 2, p, s, &keys);
    PGPFreeFileSpec(p);
    if (s)
        PGPFreeFileSpec(s);
    return e;
}

PGPKeyRef Session::key(const std::string& text)
{
    PGPFilterRef f = nullptr;
    PGPKeySetRef found = nullptr;
    PGPNewUserIDStringFilter(context, text.c_str(), kPGPMatchSubString, &f);
    PGPFilterKeySet(keys, f, &found);
    PGPFreeFilter(f);
    PGPUInt32 n = 0;
    PGPCountKeys(found, &n);
    PGPKeyRef key = nullptr;
    if (n == 1) {
        PGPKeyListRef list = nullptr;
        PGPKeyIterRef it = nullptr;
        PGPOrderKeySet(found, kPGPAnyOrdering, &list);
        PGPNewKeyIter(list, &it);
        PGPKeyIterNext(it, &key);
        PGPFreeKeyIter(it);
        PGPFreeKeyList(list);
    }
    PGPFreeKeySet(found);
    return key;
}

std::string userIdOf(PGPKeyRef key)
{
    char buf[512];
    PGPSize len = 0;
    if (PGPGetPrimaryUserIDNameBuffer(key, sizeof buf, buf, &len))
        return {};
    return std::string(buf, len);
}

PGPKeySetRef keySetOf(Session& s, const std::vector<std::string>& userIdTexts)
{
    PGPKeySetRef set = nullptr;
    PGPNewKeySet(s.context, &set);
    for (const auto& text : userIdTexts) {
        PGPFilterRef f = nullptr;
        PGPKeySetRef found = nullptr;
        PGPNewUserIDStringFilter(s.context, text.c_str(), kPGPMatchSubString, &f);
        PGPFilterKeySet(s.keys, f, &found);
        PGPFreeFilter(f);
        PGPAddKeys(found, set);
        PGPFreeKeySet(found);
    }
    return set;
}

EncodeResult encode(Session& s, const std::string& input, const std::string& signer,
                    const std::vector<std::string>& recipients, bool armor, const std::string& passphrase)
{
    EncodeResult r;
    PGPContextRef c = s.context;
    PGPKeySetRef to = keySetOf(s, recipients);
    void* out = nullptr;
    PGPSize outSize = 0;
    PGPOptionListRef list = nullptr;
    PGPBuildOptionList(c, &list, PGPOInputBuffer(c, input.data(), input.size()),
                       PGPOAllocatedOutputBuffer(c, &out, static_cast<PGPSize>(-1), &outSize),
                       PGPOArmorOutput(c, armor), PGPOLastOption(c));
    if (!signer.empty()) {
        PGPKeyRef key = s.key(signer);
        PGPAppendOptionList(c, list,
                            PGPOSignWithKey(c, key, PGPOPassphrase(c, passphrase.c_str()), PGPOLastOption(c)),
                            PGPOLastOption(c));
    }
    PGPAppendOptionList(c, list, PGPOEncryptToKeySet(c, to), PGPOLastOption(c));
    r.error = PGPEncode(c, list, PGPOLastOption(c));
    if (out) {
        r.output.assign(static_cast<const char*>(out), outSize);
        PGPFreeData(out);
    }
    PGPFreeOptionList(list);
    PGPFreeKeySet(to);
    return r;
}

namespace {
PGPError handler(PGPContextRef, PGPEvent* event, void* user)
{
    auto* r = static_cast<DecodeResult*>(user);
    if (event->type == kPGPEvent_RecipientsEvent) {
        ++r->recipientsEvents;
        const auto& d = event->data.recipientsData;
        for (PGPUInt32 i = 0; i < d.keyCount; ++i) {
            char text[kPGPMaxKeyIDStringSize];
            PGPGetKeyIDString(&d.keyIDArray[i], kPGPKeyIDString_Abbreviated, text);
            r->recipientIds.push_back(text);
        }
        PGPKeyListRef list = nullptr;
        PGPKeyIterRef it = nullptr;
        PGPOrderKeySet(d.recipientSet, kPGPAnyOrdering, &list);
        PGPNewKeyIter(list, &it);
        PGPKeyRef key = nullptr;
        while (PGPKeyIterNext(it, &key) == 0)
            r->recipientNames.push_back(userIdOf(key));
        PGPFreeKeyIter(it);
        PGPFreeKeyList(list);
    } else if (event->type == kPGPEvent_SignatureEvent) {
        SignatureReport rep;
        rep.data = event->data.signatureData;
        char text[kPGPMaxKeyIDStringSize];
        if (PGPGetKeyIDString(&rep.data.signingKeyID, kPGPKeyIDString_Abbreviated, text) == 0)
            rep.signerKeyId = text;
        rep.haveKey = rep.data.signingKey != nullptr;
        if (rep.haveKey)
            rep.signerName = userIdOf(rep.data.signingKey);
        r->signatures.push_back(rep);
    }
    return r->handlerAnswer;
}
}  // namespace

PGPOptionListRef bufferInOut(Session& s, const std::string& input, void** out, PGPSize* outSize)
{
    PGPContextRef c = s.context;
    PGPOptionListRef list = nullptr;
    PGPBuildOptionList(c, &list, PGPOInputBuffer(c, input.data(), input.size()),
                       PGPOAllocatedOutputBuffer(c, out, static_cast<PGPSize>(-1), outSize), PGPOLastOption(c));
    return list;
}

EncodeResult encodeWith(Session& s, const std::string& input, const std::vector<PGPOptionListRef>& options)
{
    PGPContextRef c = s.context;
    void* out = nullptr;
    PGPSize outSize = 0;
    PGPOptionListRef list = bufferInOut(s, input, &out, &outSize);
    for (PGPOptionListRef option : options)
        PGPAppendOptionList(c, list, option, PGPOLastOption(c));
    EncodeResult r;
    r.error = PGPEncode(c, list, PGPOLastOption(c));
    PGPFreeOptionList(list);
    if (out)
        r.output.assign(static_cast<const char*>(out), outSize);
    PGPFreeData(out);
    return r;
}

DecodeResult decode(Session& s, const std::string& message, const std::string& passphrase, PGPError answer,
                    const std::string* signedData)
{
    DecodeResult r;
    r.handlerAnswer = answer;
    PGPContextRef c = s.context;
    void* out = nullptr;
    PGPSize outSize = 0;
    PGPOptionListRef list = nullptr;
    PGPBuildOptionList(c, &list, PGPOEventHandler(c, handler, &r), PGPOLastOption(c));
    PGPAppendOptionList(c, list, PGPOInputBuffer(c, message.data(), message.size()), PGPOLastOption(c));
    if (signedData)
        PGPAppendOptionList(c, list, PGPODetachedSig(c, PGPOInputBuffer(c, signedData->data(), signedData->size()),
                                                     PGPOLastOption(c)),
                            PGPOLastOption(c));
    else
        PGPAppendOptionList(c, list, PGPOAllocatedOutputBuffer(c, &out, static_cast<PGPSize>(-1), &outSize),
                            PGPOLastOption(c));
    PGPAppendOptionList(c, list, PGPOPassphrase(c, passphrase.c_str()), PGPOLastOption(c));
    r.error = PGPDecode(c, list, PGPOKeySetRef(c, s.keys), PGPOLastOption(c));
    if (out) {
        r.gotOutput = true;
        r.output.assign(static_cast<const char*>(out), outSize);
        PGPFreeData(out);
    }
    PGPFreeOptionList(list);
    return r;
}

int run(const std::string& command, std::string* out) { return runShell(command, out); }

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Exports the one key userIdText selects; the error, and the bytes in out.
PGPError exportKey(Session& s, const std::string& userIdText, bool armor, bool secret, std::string& out)
{
    PGPContextRef c = s.context;
    PGPKeySetRef one = keySetOf(s, {userIdText});
    void* data = nullptr;
    PGPSize size = 0;
    const PGPError e = PGPExportKeySet(one, PGPOAllocatedOutputBuffer(c, &data, static_cast<PGPSize>(-1), &size),
                                       PGPOArmorOutput(c, armor), PGPOExportPrivateKeys(c, secret), PGPOLastOption(c));
    out = data ? std::string(static_cast<const char*>(data), size) : std::string();
    PGPFreeData(data);
    PGPFreeKeySet(one);
    return e;
}

}  // namespace harness

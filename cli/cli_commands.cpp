#include "cli/cli_commands.h"

namespace {

const std::string kPass = " --passphrase-fd --passphrase-file";

// What follows the commands' usage lines in --help.
const char* const kHelpRest = R"(  tolv-cli --help
  tolv-cli --version

Signs and encrypts, or decrypts and verifies, with the key rings and the SDK
library named in the settings file (default: tolv.ini in the current folder).

  PASS is --passphrase-fd N or --passphrase-file F (see below)

  --ini FILE             the settings file (a bare name is in the current
                         folder; /W is ~/.config/tolv/tolv.ini)
  --signer TEXT          part of the signing key pair's user ID (one key must match)
  --recipient TEXT       part of the recipient key's user ID (one key must match);
                         given several times, the message goes to each; without
                         --signer the message is encrypted only
  --encrypt-to-self      the signer's key is a recipient too
  --sign-only            a signed message, not encrypted
  --clear-sign           a clear-signed text
  --detached             a detached signature of IN
  --symmetric            encrypted to a password only: PASS is the password
  --armor                ASCII-armoured output
  --secret               export the secret key (still protected by its passphrase);
                         delete a key pair, secret key and all
  --name NAME, --email EMAIL   the new key's user ID, "NAME <EMAIL>"
  --algorithm A          ed25519 (default: Ed25519 signing key with a Curve25519
                         encryption subkey), rsa3072, rsa4096, or ed25519-v6 (an
                         RFC 9580 v6 key: only for peers that read v6 keys)
  --expires DAYS|never   the new key's lifetime (default 1095 days)
  --yes                  confirms delete and publish; encode and decode
                         with --output-dir replace outputs that exist
  --output-dir DIR       encode or decode each FILE into DIR: FILE.gpg (.asc
                         with --armor, .sig with --detached), a folder as one
                         tar archive FOLDER.tar.gpg; decoded, the name the
                         message carries, else FILE without .gpg/.pgp/.asc
  --import               lookup imports the keys it found
  --new-passphrase-file F  the new passphrase for passwd (first line)
  --passphrase-fd N      read the passphrase from file descriptor N (first
                         line, at most 1024 bytes)
  --passphrase-file F    read the passphrase from file F (the same)
  --order N              key ordering: 2 user ID (default), 4 key ID, 6 validity,
                         8 trust, 10 size, 14 creation, 16 expiration

The passphrase is never taken from the command line, where other users
could read it. decode prints one "Verdict" line per signature first ("Not
signed" without one, "Not decoded: ..." after a failure), then one fact
per line: "Signed by", "checked",
"verified", "keyRevoked", "keyDisabled", "keyExpired",
"keyMeetsValidityThreshold", "keyValidity", then one "Encrypted to" line
per recipient key ID (with the key's user ID when the rings hold it) and one "Encrypted to key we have" line per
recipient key the rings hold. keys prints one line per row, tab-separated:
level, keys, size, description, key ID, creation. fingerprint prints the
40 hex digits of the key that TEXT selects; export writes that key (TEXT
as for --recipient: one key must match, or a 16-digit key ID or 40-digit
fingerprint). generate prints the new key's fingerprint; its secret key is
protected with the passphrase (AES-256). import prints one line,
"imported: N new, M updated, K unchanged"; keys already in the rings are
merged. delete refuses a key pair without --secret. verify checks a
detached signature and prints the decode report; it exits 0 only for a
good signature. lookup asks the Web Key Directory (for an address) and
the keyserver of the settings file's [Tolv] section (Keyserver=, default
hkps://keys.openpgp.org; UseWKD=true) over HTTPS, and prints one "key"
line per matching key (fingerprint, creation, expiry, where it was found)
and a "uid" line per user ID; keys that do not match are left out. refresh
looks the keys TEXT selects (all without TEXT) up again and imports what
is new; publish sends a public key to the keyserver. Nothing else reaches
the network. expire, adduid, primary, revuid, addkey and revkey change one
of your key pairs (its passphrase as PASS); verify-key prints a key's
fingerprint and, with --yes, certifies it locally with --signer's key
pair. generate keeps the new key's revocation certificate in
revocations/FINGERPRINT.rev beside the settings file. group keeps
recipient groups in the settings file; --recipient NAME encrypts to each
of the group's keys. Every change is written
to the key ring files at once; the old files are kept as FILE.bak.

Messages go to standard error with their caption. Exit codes:
  0 success   1 other failure   2 usage   3 bad or missing passphrase
  4 key not found or ambiguous   5 bad input (not a message, damaged)
  6 I/O failure (files, key rings, SDK library)
  7 decoded, but a signature is bad or by a revoked key
  8 decoded, but a signature's key is not in the rings
  9 a look-up found nothing because a server failed (no such host,
    refused, time-out, certificate, too large, not OpenPGP data)
  130 interrupted by Ctrl-C while encoding or decoding: nothing written
      (with --output-dir: the files done before are kept)
With --output-dir, one line "FILE -> OUTPUT: done|failed|skipped|interrupted"
per file (decode adds its "Verdict" lines), and the exit code is the worst
of the files': 130, 7, 5, 4, 3, 6, 1, 8, 0 in that order.

On a terminal, the progress of a long job is shown on standard error.
)";

}  // namespace

const std::vector<CliCommand>& cliCommands()
{
    static const std::vector<CliCommand> commands = {
        {"encode",
         "  tolv-cli [--ini FILE] encode --signer TEXT --recipient TEXT [--armor] [PASS] IN OUT\n"
         "  tolv-cli [--ini FILE] encode [--signer TEXT] [--recipient TEXT]... [--encrypt-to-self]\n"
         "                               [--sign-only|--clear-sign|--detached|--symmetric] [--armor] [PASS] IN OUT\n"
         "  tolv-cli [--ini FILE] encode ... [--yes] --output-dir DIR FILE...\n",
         "--signer --recipient --encrypt-to-self --sign-only --clear-sign --detached --symmetric --armor --yes --output-dir" +
             kPass,
         runEncode},
        {"verify", "  tolv-cli [--ini FILE] verify SIGNATURE DATA\n", "", runVerify},
        {"decode",
         "  tolv-cli [--ini FILE] decode [PASS] IN OUT\n"
         "  tolv-cli [--ini FILE] decode [PASS] [--yes] --output-dir DIR FILE...\n",
         "--yes --output-dir" + kPass, runDecode},
        {"keys", "  tolv-cli [--ini FILE] keys [--order N]\n", "--order", runKeys},
        {"fingerprint", "  tolv-cli [--ini FILE] fingerprint TEXT\n", "", runFingerprint},
        {"export", "  tolv-cli [--ini FILE] export [--armor] [--secret] TEXT OUT\n", "--armor --secret", runExport},
        {"generate",
         "  tolv-cli [--ini FILE] generate --name NAME --email EMAIL [--algorithm ed25519|rsa3072|rsa4096|ed25519-v6]\n"
         "                                 [--expires DAYS|never] PASS\n",
         "--name --email --algorithm --expires" + kPass, runGenerate},
        {"import", "  tolv-cli [--ini FILE] import FILE...\n", "", runImport},
        {"delete", "  tolv-cli [--ini FILE] delete [--secret] --yes TEXT\n", "--secret --yes", runDelete},
        {"passwd", "  tolv-cli [--ini FILE] passwd TEXT --passphrase-file OLD --new-passphrase-file NEW\n",
         "--passphrase-file --new-passphrase-file", runPasswd},
        {"expire", "  tolv-cli [--ini FILE] expire TEXT DAYS|never [--subkey KEYID] PASS\n", "--subkey" + kPass, runExpire},
        {"adduid", "  tolv-cli [--ini FILE] adduid TEXT \"NAME <EMAIL>\" PASS\n", kPass.substr(1), runAddUid},
        {"revuid", "  tolv-cli [--ini FILE] revuid TEXT \"USER ID\" [--reason TEXT] PASS\n", "--reason" + kPass, runRevUid},
        {"primary", "  tolv-cli [--ini FILE] primary TEXT \"USER ID\" PASS\n", kPass.substr(1), runPrimary},
        {"addkey",
         "  tolv-cli [--ini FILE] addkey TEXT --usage sign|encrypt [--algorithm ed25519|rsa3072|rsa4096|ed25519-v6]\n"
         "                               [--expires DAYS|never] PASS\n",
         "--usage --algorithm --expires" + kPass, runAddKey},
        {"revkey", "  tolv-cli [--ini FILE] revkey TEXT KEYID [--reason TEXT] PASS\n", "--reason" + kPass, runRevKey},
        {"verify-key", "  tolv-cli [--ini FILE] verify-key TEXT --signer TEXT [--yes] PASS\n", "--signer --yes" + kPass,
         runVerifyKey},
        {"group", "  tolv-cli [--ini FILE] group list | add NAME TEXT... | remove NAME [TEXT...]\n", "", runGroup},
        {"lookup", "  tolv-cli [--ini FILE] lookup [--import] ADDRESS|FINGERPRINT|KEYID|NAME\n", "--import", runLookup},
        {"refresh", "  tolv-cli [--ini FILE] refresh [TEXT]...\n", "", runRefresh},
        {"publish", "  tolv-cli [--ini FILE] publish --yes TEXT\n", "--yes", runPublish},
    };
    return commands;
}

const CliCommand* findCommand(const std::string& name)
{
    for (const CliCommand& c : cliCommands())
        if (name == c.name)
            return &c;
    return nullptr;
}

std::string helpText()
{
    std::string text = "Usage:\n";
    for (const CliCommand& c : cliCommands())
        text += c.usage;
    return text + kHelpRest;
}

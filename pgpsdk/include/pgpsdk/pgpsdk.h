/*
 * pgpsdk: an OpenPGP toolkit with a classic PGP SDK style C interface,
 * built on librnp.
 *
 * Conventions
 * - Every function returns a PGPError (0 = success, negative = failure)
 *   unless stated otherwise. Out parameters are written only on success,
 *   except where stated.
 * - Object references are opaque pointers. A function given a null or
 *   foreign reference answers kPGPError_BadParams.
 * - Memory: blocks handed out by the SDK (PGPOAllocatedOutputBuffer) are
 *   released with PGPFreeData, never with free(). Text buffers are always
 *   supplied by the caller.
 * - Threads: all objects made from one context are serialised by that
 *   context's lock, so several threads may share a context. Event handlers
 *   run on the calling thread and may call back into the SDK.
 * - Entry points listed as UNAVAILABLE in pgpsdk_entry_points.h take no
 *   arguments that matter, write nothing and return
 *   kPGPError_FeatureNotAvailable.
 */
#ifndef PGPSDK_PGPSDK_H
#define PGPSDK_PGPSDK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PGPSDK_API __attribute__((visibility("default")))

typedef int32_t PGPError;
typedef int32_t PGPInt32;
typedef uint32_t PGPUInt32;
typedef uint8_t PGPByte;
typedef uint8_t PGPBoolean;
typedef size_t PGPSize;
/* Seconds since 1 January 1970, UTC. 64-bit, so dates after 2106 fit. */
typedef int64_t PGPTime;

typedef struct PGPContext *PGPContextRef;
typedef struct PGPFileSpec *PGPFileSpecRef;
typedef struct PGPKeySet *PGPKeySetRef;
typedef struct PGPKeyList *PGPKeyListRef;
typedef struct PGPKeyIter *PGPKeyIterRef;
typedef struct PGPKey *PGPKeyRef;
typedef struct PGPUserID *PGPUserIDRef;
typedef struct PGPSig *PGPSigRef;
typedef struct PGPSubKey *PGPSubKeyRef;
typedef struct PGPFilter *PGPFilterRef;
typedef struct PGPOptionList *PGPOptionListRef;
typedef struct PGPJob *PGPJobRef;

/* ---- error codes ---- */
enum {
    kPGPError_NoErr = 0,
    kPGPError_BadParams = -11999,
    kPGPError_OutOfMemory = -11998,
    kPGPError_BufferTooSmall = -11997,
    kPGPError_FileNotFound = -11996,
    kPGPError_CantOpenFile = -11995,
    kPGPError_FilePermissions = -11994,
    kPGPError_FeatureNotAvailable = -11993,
    kPGPError_BadPassphrase = -11992,
    kPGPError_CorruptData = -11991,
    kPGPError_NotPGPMessage = -11990,
    kPGPError_TruncatedData = -11989,
    kPGPError_IntegrityCheckFailed = -11988,
    kPGPError_NoIntegrityProtection = -11987,
    kPGPError_NoDecryptionKey = -11986,
    kPGPError_KeyUnusable = -11985,
    kPGPError_ItemNotFound = -11984,
    kPGPError_EndOfIteration = -11983,
    kPGPError_UserAbort = -11982,
    kPGPError_BadAPIVersion = -11981,
    kPGPError_NotInitialized = -11980,
    kPGPError_NoSuitableKey = -11979,
    kPGPError_ReadFailed = -11978,
    kPGPError_WriteFailed = -11977,
    kPGPError_OutputTooLarge = -11976,
    kPGPError_KeySetImmutable = -11975,
    kPGPError_CorruptKeyRing = -11974,
    kPGPError_SigningFailed = -11973,
    kPGPError_EncryptionFailed = -11972,
    kPGPError_UnknownError = -11971,
    kPGPError_MissingPassphrase = -11970,
    kPGPError_KeyRingLocked = -11969,
    /* the message uses a packet version or an algorithm the SDK cannot read */
    kPGPError_UnsupportedFormat = -11968
};

/* The API version a client asks for in PGPNewContext. */
#define kPGPsdkAPIVersion 0x02000010u

/* PGPOpenKeyRingPair flags */
enum { kPGPKeyRingOpenFlags_None = 0, kPGPKeyRingOpenFlags_Mutable = 2 };

/* PGPNewUserIDStringFilter match criteria */
enum { kPGPMatchEqual = 2, kPGPMatchSubString = 4 };

/* PGPOrderKeySet orderings; every ordering is ascending, ties by user ID */
enum {
    kPGPAnyOrdering = 1,
    kPGPUserIDOrdering = 2,
    kPGPKeyIDOrdering = 4,
    kPGPValidityOrdering = 6,
    kPGPTrustOrdering = 8,
    kPGPEncryptKeySizeOrdering = 10,
    kPGPSigKeySizeOrdering = 12,
    kPGPCreationOrdering = 14,
    kPGPExpirationOrdering = 16
};

/* Key properties */
enum {
    kPGPKeyPropFingerprint = 10,  /* buffer: the fingerprint's bytes (20 for a v4 key, 32 for v6) */
    kPGPKeyPropAlgID = 20,        /* number: OpenPGP public-key algorithm ID */
    kPGPKeyPropBits = 21,         /* number: key size in bits */
    kPGPKeyPropCreation = 30,     /* time */
    kPGPKeyPropExpiration = 31,   /* time, 0 = never */
    kPGPKeyPropIsSecret = 40,     /* boolean: the secret part is present */
    kPGPKeyPropIsAxiomatic = 41,  /* boolean: same as IsSecret here */
    kPGPKeyPropIsRevoked = 42,
    kPGPKeyPropIsDisabled = 43,   /* always false: OpenPGP keys carry no such flag */
    kPGPKeyPropIsNotCorrupt = 44,
    kPGPKeyPropIsExpired = 45,
    kPGPKeyPropNeedsCommit = 46,
    kPGPKeyPropHasUnverifiedRevocation = 47,
    kPGPKeyPropValidity = 48,     /* number: a PGPValidity */
    kPGPKeyPropCanSign = 60,      /* booleans: what the key flags allow */
    kPGPKeyPropCanEncrypt = 61,
    kPGPKeyPropCanCertify = 62
};

/* OpenPGP public-key algorithm IDs returned for kPGPKeyPropAlgID */
enum {
    kPGPPublicKeyAlgorithm_RSA = 1,
    kPGPPublicKeyAlgorithm_RSAEncryptOnly = 2,
    kPGPPublicKeyAlgorithm_RSASignOnly = 3,
    kPGPPublicKeyAlgorithm_ElGamal = 16,
    kPGPPublicKeyAlgorithm_DSA = 17,
    kPGPPublicKeyAlgorithm_ECDH = 18,
    kPGPPublicKeyAlgorithm_ECDSA = 19,
    kPGPPublicKeyAlgorithm_EdDSA = 22,
    /* RFC 9580's native curve algorithms, which v6 keys use. A new key of
     * Ed25519 is a v6 key, with an X25519 encryption subkey. */
    kPGPPublicKeyAlgorithm_X25519 = 25,
    kPGPPublicKeyAlgorithm_Ed25519 = 27
};

/* User ID properties */
enum { kPGPUserIDPropName = 50 };

/* Certification (signature) properties */
enum {
    kPGPSigPropTrustLevel = 101,   /* number: 0 none, 1 introducer, 2 meta-introducer */
    kPGPSigPropIsRevoked = 120,
    kPGPSigPropIsNotCorrupt = 121, /* structurally sound */
    kPGPSigPropIsTried = 122,      /* checked: the certifier's key was available */
    kPGPSigPropIsVerified = 123,   /* the certification is good */
    kPGPSigPropIsMySig = 124,
    kPGPSigPropIsExportable = 125
};

/* Validity of a key */
enum {
    kPGPValidity_Unknown = 0,
    kPGPValidity_Invalid = 1,
    kPGPValidity_Marginal = 2,
    kPGPValidity_Complete = 3
};

/* PGPGetKeyIDString forms */
enum { kPGPKeyIDString_Abbreviated = 2, kPGPKeyIDString_Full = 3 };
#define kPGPMaxKeyIDStringSize 128

/* A key ID: length (4 or 8) in the first byte, then the ID bytes. */
typedef struct PGPKeyID {
    PGPByte opaqueBytes[34];
} PGPKeyID;

/* ---- events ---- */
/* Event types. The type is a plain number: events added later arrive as
 * values a handler does not know and must ignore. */
typedef PGPUInt32 PGPEventType;
enum {
    kPGPEvent_NullEvent = 0,
    kPGPEvent_InitialEvent = 1,
    kPGPEvent_FinalEvent = 2,
    kPGPEvent_ErrorEvent = 3,
    kPGPEvent_WarningEvent = 4,
    kPGPEvent_EntropyEvent = 5,
    kPGPEvent_PassphraseEvent = 6,
    kPGPEvent_InsertKeyEvent = 7,
    kPGPEvent_AnalyzeEvent = 8,
    kPGPEvent_RecipientsEvent = 9,
    kPGPEvent_KeyFoundEvent = 10,
    kPGPEvent_OutputEvent = 11,
    kPGPEvent_SignatureEvent = 12,
    kPGPEvent_BeginLexEvent = 13,
    kPGPEvent_EndLexEvent = 14
};

/* Recipients event: the keys the message is encrypted to. recipientSet
 * holds those recipient keys that the decoding key set has (owned by the
 * SDK, valid during the event); keyIDArray lists all keyCount recipient key
 * IDs in message order. */
typedef struct PGPEventRecipientsData {
    PGPKeySetRef recipientSet;
    PGPUInt32 conventionalPassphraseCount;
    PGPUInt32 keyCount;
    const PGPKeyID *keyIDArray;
} PGPEventRecipientsData;

/* Signature event: one per signature of the message. signingKey is null
 * when the signer's key is not in the key set. */
typedef struct PGPEventSignatureData {
    PGPKeyID signingKeyID;
    PGPKeyRef signingKey;
    PGPBoolean checked;
    PGPBoolean verified;
    PGPBoolean keyRevoked;
    PGPBoolean keyDisabled;
    PGPBoolean keyExpired;
    PGPBoolean keyMeetsValidityThreshold;
    PGPInt32 keyValidity;
    PGPTime creationTime;
} PGPEventSignatureData;

/* Null event: how far a job has read its input. Sent when the job starts,
 * then at most once per requested interval, and when the input is read. */
typedef struct PGPEventNullData {
    PGPSize bytesWritten;
    PGPSize bytesTotal;
} PGPEventNullData;

/* Output event: sent by PGPDecode once the message is decoded and before
 * its output is handed over. suggestedName is the file name the message
 * carries (empty when none; valid during the event); forYourEyesOnly is set
 * when it asks not to be stored ("_CONSOLE"). A handler may move a file
 * output to another name in the same folder with PGPAddJobOptions(job,
 * PGPOOutputFile(...), PGPOLastOption(...)). */
typedef struct PGPEventOutputData {
    const char *suggestedName;
    PGPBoolean forYourEyesOnly;
} PGPEventOutputData;

typedef struct PGPEvent {
    PGPUInt32 version;
    struct PGPEvent *nextEvent;
    PGPJobRef job;
    PGPEventType type;
    union {
        PGPEventRecipientsData recipientsData;
        PGPEventSignatureData signatureData;
        PGPEventNullData nullData;
        PGPEventOutputData outputData;
    } data;
} PGPEvent;

/* A non-zero return aborts the job with that error. */
typedef PGPError (*PGPEventHandlerProcPtr)(PGPContextRef context, PGPEvent *event, void *userValue);

/* ---- session ---- */
PGPSDK_API PGPError PGPsdkInit(void);    /* counted: each call needs a PGPsdkCleanup */
PGPSDK_API PGPError PGPsdkCleanup(void);
PGPSDK_API PGPError PGPNewContext(PGPUInt32 clientAPIVersion, PGPContextRef *newContext);
PGPSDK_API PGPError PGPFreeContext(PGPContextRef context);
/* Writes the text of an error code, NUL-terminated within bufferSize. */
PGPSDK_API PGPError PGPGetErrorString(PGPError theError, PGPSize bufferSize, char *theString);

/* ---- key rings ---- */
PGPSDK_API PGPError PGPNewFileSpecFromFullPath(PGPContextRef context, const char *path, PGPFileSpecRef *ref);
PGPSDK_API PGPError PGPFreeFileSpec(PGPFileSpecRef ref);
/* Opens a public and a secret ring (binary or armoured transferable keys)
 * as one key set. A missing file fails; an empty file is an empty ring. On
 * failure no key set is made. */
PGPSDK_API PGPError PGPOpenKeyRingPair(PGPContextRef context, PGPUInt32 flags, PGPFileSpecRef pubFileRef,
                                       PGPFileSpecRef secFileRef, PGPKeySetRef *keySet);

/* ---- key sets, filters, lists and iterators ---- */
PGPSDK_API PGPError PGPNewKeySet(PGPContextRef context, PGPKeySetRef *keySet);
/* Options added to a running job from its event handler (event->job); only
 * an output event's PGPOOutputFile is taken. */
PGPSDK_API PGPError PGPAddJobOptions(PGPJobRef job, PGPOptionListRef firstOption, ...);
PGPSDK_API PGPError PGPAddKeys(PGPKeySetRef keysToAdd, PGPKeySetRef set);
/* A new set holding just the key (the caller frees it). */
PGPSDK_API PGPError PGPNewSingletonKeySet(PGPKeyRef key, PGPKeySetRef *keySet);
PGPSDK_API PGPError PGPFreeKeySet(PGPKeySetRef keySet);
PGPSDK_API PGPError PGPCountKeys(PGPKeySetRef keySet, PGPUInt32 *numKeys);
PGPSDK_API PGPError PGPNewUserIDStringFilter(PGPContextRef context, const char *userIDString, PGPUInt32 match,
                                             PGPFilterRef *outFilter);
PGPSDK_API PGPError PGPFreeFilter(PGPFilterRef filter);
PGPSDK_API PGPError PGPFilterKeySet(PGPKeySetRef origSet, PGPFilterRef filter, PGPKeySetRef *resultSet);
PGPSDK_API PGPError PGPOrderKeySet(PGPKeySetRef keySet, PGPInt32 order, PGPKeyListRef *outList);
PGPSDK_API PGPError PGPFreeKeyList(PGPKeyListRef list);
PGPSDK_API PGPError PGPNewKeyIter(PGPKeyListRef list, PGPKeyIterRef *outIter);
PGPSDK_API PGPError PGPFreeKeyIter(PGPKeyIterRef iter);
/* kPGPError_EndOfIteration (and a null key) after the last key. */
PGPSDK_API PGPError PGPKeyIterNext(PGPKeyIterRef iter, PGPKeyRef *outKey);
/* User IDs of the current key; a null reference and kPGPError_EndOfIteration at the end. */
PGPSDK_API PGPError PGPKeyIterNextUserID(PGPKeyIterRef iter, PGPUserIDRef *outUserID);
/* Certifications on the current user ID; null and kPGPError_EndOfIteration at the end. */
PGPSDK_API PGPError PGPKeyIterNextUIDSig(PGPKeyIterRef iter, PGPSigRef *outSig);
/* The current key's subkeys in turn (kPGPError_EndOfIteration after the
 * last). A subkey answers the key properties kPGPKeyPropAlgID, _Bits
 * (PGPGetSubKeyNumber), _Creation, _Expiration (PGPGetSubKeyTime),
 * _IsSecret, _IsRevoked, _IsExpired, _CanSign, _CanEncrypt, _CanCertify
 * (PGPGetSubKeyBoolean); it belongs to its key. */
PGPSDK_API PGPError PGPKeyIterNextSubKey(PGPKeyIterRef iter, PGPSubKeyRef *outSubKey);
PGPSDK_API PGPError PGPGetSubKeyNumber(PGPSubKeyRef subKey, PGPInt32 property, PGPInt32 *value);
PGPSDK_API PGPError PGPGetSubKeyTime(PGPSubKeyRef subKey, PGPInt32 property, PGPTime *value);
PGPSDK_API PGPError PGPGetSubKeyBoolean(PGPSubKeyRef subKey, PGPInt32 property, PGPBoolean *value);
PGPSDK_API PGPError PGPGetKeyIDFromSubKey(PGPSubKeyRef subKey, PGPKeyID *keyID);

/* ---- properties ---- */
PGPSDK_API PGPError PGPGetKeyBoolean(PGPKeyRef key, PGPInt32 property, PGPBoolean *value);
PGPSDK_API PGPError PGPGetKeyNumber(PGPKeyRef key, PGPInt32 property, PGPInt32 *value);
/* Binary properties (kPGPKeyPropFingerprint): at most bufferSize bytes are
 * written and *length receives the property's size; kPGPError_BufferTooSmall
 * when it does not fit. */
PGPSDK_API PGPError PGPGetKeyPropertyBuffer(PGPKeyRef key, PGPInt32 property, PGPSize bufferSize, void *buffer,
                                            PGPSize *length);
PGPSDK_API PGPError PGPGetKeyTime(PGPKeyRef key, PGPInt32 property, PGPTime *value);
PGPSDK_API PGPError PGPGetKeyIDFromKey(PGPKeyRef key, PGPKeyID *keyID);
/* The key of keySet whose primary key or one of whose subkeys has keyID;
 * pubKeyAlgorithm 0 takes any algorithm. kPGPError_ItemNotFound (and a null
 * key) when there is none. The key belongs to the set. */
PGPSDK_API PGPError PGPGetKeyByKeyID(PGPKeySetRef keySet, const PGPKeyID *keyID, PGPInt32 pubKeyAlgorithm,
                                     PGPKeyRef *outKey);
/* Form 2 and 3 both give "0x" and the 16 upper-case hex digits of the
 * 64-bit key ID. The buffer must hold kPGPMaxKeyIDStringSize bytes. */
PGPSDK_API PGPError PGPGetKeyIDString(const PGPKeyID *keyID, PGPInt32 form, char *outString);
/* Text buffers: at most bufferSize - 1 bytes are written (never a partial
 * UTF-8 character), then a NUL; *length receives the bytes written. */
PGPSDK_API PGPError PGPGetPrimaryUserIDNameBuffer(PGPKeyRef key, PGPSize bufferSize, char *buffer, PGPSize *length);
PGPSDK_API PGPError PGPGetUserIDStringBuffer(PGPUserIDRef userID, PGPInt32 property, PGPSize bufferSize,
                                             char *buffer, PGPSize *length);
PGPSDK_API PGPError PGPGetSigBoolean(PGPSigRef sig, PGPInt32 property, PGPBoolean *value);
PGPSDK_API PGPError PGPGetSigNumber(PGPSigRef sig, PGPInt32 property, PGPInt32 *value);
/* kPGPError_ItemNotFound when the certifier's key is not in allKeys. */
PGPSDK_API PGPError PGPGetSigCertifierKey(PGPSigRef sig, PGPKeySetRef allKeys, PGPKeyRef *certifier);

/* ---- options ----
 * Option makers return a one-option list that the call it is passed to
 * consumes (PGPBuildOptionList, PGPAppendOptionList, PGPOSignWithKey,
 * PGPEncode, PGPDecode). A list made by PGPBuildOptionList belongs to the
 * caller, who frees it with PGPFreeOptionList: calls it is passed to copy
 * its options. Variadic calls end with PGPOLastOption(). */
PGPSDK_API PGPOptionListRef PGPOLastOption(PGPContextRef context);
PGPSDK_API PGPOptionListRef PGPOEventHandler(PGPContextRef context, PGPEventHandlerProcPtr handler, void *userValue);
PGPSDK_API PGPOptionListRef PGPOInputBuffer(PGPContextRef context, const void *buffer, PGPSize bufferSize);
/* The job allocates the output; free it with PGPFreeData. maximumSize
 * (PGPSize)-1 means no limit. */
PGPSDK_API PGPOptionListRef PGPOAllocatedOutputBuffer(PGPContextRef context, void **buffer, PGPSize maximumSize,
                                                      PGPSize *actualSize);
/* Files, read and written as the job goes: memory stays small whatever
 * their size. The input must be a regular file. The output is written
 * beside its target and takes the target's name (replacing a regular file,
 * whose mode it keeps) only when the job succeeds; a failed or stopped job
 * leaves no file. The file spec may be freed once the option is made. */
PGPSDK_API PGPOptionListRef PGPOInputFile(PGPContextRef context, PGPFileSpecRef fileSpec);
PGPSDK_API PGPOptionListRef PGPOOutputFile(PGPContextRef context, PGPFileSpecRef fileSpec);
PGPSDK_API PGPOptionListRef PGPOArmorOutput(PGPContextRef context, PGPBoolean armor);
/* The text is copied; the copy is wiped when the option is released. */
PGPSDK_API PGPOptionListRef PGPOPassphrase(PGPContextRef context, const char *passphrase);
PGPSDK_API PGPOptionListRef PGPOSignWithKey(PGPContextRef context, PGPKeyRef key, PGPOptionListRef firstOption, ...);
PGPSDK_API PGPOptionListRef PGPOEncryptToKeySet(PGPContextRef context, PGPKeySetRef keySet);
PGPSDK_API PGPOptionListRef PGPOKeySetRef(PGPContextRef context, PGPKeySetRef keySet);
/* Asks for null events (progress) about every approxIntervalMs, at most
 * 20 a second; a handler that answers one with an error stops the job with
 * kPGPError_UserAbort and no output. */
/* Export: also the secret parts of the keys that have them (still
 * protected by their passphrases). */
PGPSDK_API PGPOptionListRef PGPOExportPrivateKeys(PGPContextRef context, PGPBoolean exportKeys);
PGPSDK_API PGPOptionListRef PGPOSendNullEvents(PGPContextRef context, PGPUInt32 approxIntervalMs);
/* Signing without encrypting (PGPOSignWithKey and no recipient): a
 * clear-signed text (always armoured), or with PGPODetachedSig and no
 * options in it a detached signature. For PGPDecode, PGPODetachedSig
 * carries the signed data (PGPOInputBuffer or PGPOInputFile) and the input
 * is the detached signature: the signature events give the verdict and no
 * output is written (an output option is not needed). */
PGPSDK_API PGPOptionListRef PGPOClearSign(PGPContextRef context, PGPBoolean clearSign);
PGPSDK_API PGPOptionListRef PGPODetachedSig(PGPContextRef context, PGPOptionListRef firstOption, ...);
/* One more recipient key; a key named twice is one recipient. */
PGPSDK_API PGPOptionListRef PGPOEncryptToKey(PGPContextRef context, PGPKeyRef key);
/* Encrypts (also) to a password: one PGPOPassphrase inside, AES-256 with an
 * iterated and salted SHA-256 S2K. */
PGPSDK_API PGPOptionListRef PGPOConventionalEncrypt(PGPContextRef context, PGPOptionListRef firstOption, ...);
/* Key generation: the algorithm (kPGPPublicKeyAlgorithm_EdDSA or _RSA for
 * a key, _ECDH (Curve25519) or _RSA for a subkey) and, for RSA, the size
 * in bits (2048 to 4096; 0 for 3072). */
PGPSDK_API PGPOptionListRef PGPOKeyGenParams(PGPContextRef context, PGPInt32 algorithm, PGPUInt32 bits);
/* The new key's user ID, UTF-8, usually "Name <e-mail>" (copied). */
PGPSDK_API PGPOptionListRef PGPOKeyGenName(PGPContextRef context, const void *name, PGPSize nameLength);
/* The key a new subkey is added to. */
PGPSDK_API PGPOptionListRef PGPOKeyGenMasterKey(PGPContextRef context, PGPKeyRef masterKey);
/* Days until a new key expires; 0 for never. */
PGPSDK_API PGPOptionListRef PGPOExpiration(PGPContextRef context, PGPUInt32 expirationDays);
/* Import: merge the keys into the ring pair of this (mutable) key set. */
PGPSDK_API PGPOptionListRef PGPOImportKeysTo(PGPContextRef context, PGPKeySetRef keySet);

PGPSDK_API PGPError PGPBuildOptionList(PGPContextRef context, PGPOptionListRef *outList, PGPOptionListRef firstOption,
                                       ...);
PGPSDK_API PGPError PGPAppendOptionList(PGPContextRef context, PGPOptionListRef list, PGPOptionListRef firstOption,
                                        ...);
PGPSDK_API PGPError PGPFreeOptionList(PGPOptionListRef list);

/* Signs with the key of PGPOSignWithKey and encrypts to every key of the
 * PGPOEncryptToKeySet sets and PGPOEncryptToKey keys (each key's
 * encryption subkey), and to the password of PGPOConventionalEncrypt,
 * AES-256 with an integrity check. Without any recipient it signs only
 * (see PGPOClearSign, PGPODetachedSig). */
PGPSDK_API PGPError PGPEncode(PGPContextRef context, PGPOptionListRef firstOption, ...);
/* Decrypts and verifies any OpenPGP message with the keys of the
 * PGPOKeySetRef set, sending the recipients event and one signature event
 * per signature to the handler. On failure no output block is handed out. */
PGPSDK_API PGPError PGPDecode(PGPContextRef context, PGPOptionListRef firstOption, ...);

/* Writes the keys of the set, each with its user IDs, certifications and
 * subkeys, as transferable keys into the output option (a block or a file),
 * binary or ASCII-armoured (PGPOArmorOutput). With PGPOExportPrivateKeys
 * the secret keys are written instead; kPGPError_ItemNotFound when a key
 * of the set has no secret part. An empty set is kPGPError_ItemNotFound. */
PGPSDK_API PGPError PGPExportKeySet(PGPKeySetRef keys, PGPOptionListRef firstOption, ...);

/* ---- changing the key rings ----
 * A key set opened with kPGPKeyRingOpenFlags_Mutable can be changed. Each
 * change goes into the set at once (the set lists new keys, loses removed
 * ones, and gives changed keys new key references); the files change only
 * with PGPCommitKeyRingChanges. Key references taken before a change stay
 * valid and show the key as it was; a removed key's reference can no
 * longer be used for jobs (kPGPError_ItemNotFound). kPGPError_KeySetImmutable
 * for a set opened read-only. */

/* Generates a key into the ring pair of the PGPOKeySetRef set: options
 * PGPOKeyGenParams, PGPOKeyGenName, PGPOPassphrase, optionally
 * PGPOExpiration. The key signs and certifies. Its secret key is protected
 * with the passphrase (AES-256, iterated and salted S2K); an empty
 * passphrase leaves it unprotected, which callers should allow only when the
 * user confirmed it. *key receives the new key (it belongs to the set). */
PGPSDK_API PGPError PGPGenerateKey(PGPContextRef context, PGPKeyRef *key, PGPOptionListRef firstOption, ...);
/* Adds an encryption subkey (or with tolvOKeyUsage a signing one) to the
 * key of PGPOKeyGenMasterKey, whose passphrase (PGPOPassphrase) unlocks it
 * and protects the subkey too; PGPOKeyGenParams and optionally
 * PGPOExpiration as for PGPGenerateKey.
 * kPGPError_BadPassphrase when the passphrase is wrong. *key receives the
 * master key's new reference. */
PGPSDK_API PGPError PGPGenerateSubKey(PGPContextRef context, PGPKeyRef *key, PGPOptionListRef firstOption, ...);
/* Reads keys, binary or ASCII-armoured, public or secret, several at once,
 * from PGPOInputBuffer or PGPOInputFile. With PGPOImportKeysTo they are
 * merged into that set's ring pair (new user IDs, subkeys, certifications
 * and revocations join a key already there); without it they form a set
 * of their own. *importedKeys receives the set of the keys read (the
 * caller frees it). Data without a single readable key is
 * kPGPError_CorruptKeyRing and changes nothing. */
PGPSDK_API PGPError PGPImportKeySet(PGPContextRef context, PGPKeySetRef *importedKeys, PGPOptionListRef firstOption,
                                    ...);
/* Removes each key of keysToRemove (public and secret parts, with its
 * subkeys) from fromSet and its ring pair. */
PGPSDK_API PGPError PGPRemoveKeys(PGPKeySetRef keysToRemove, PGPKeySetRef fromSet);
/* Two PGPOPassphrase options: the old passphrase, then the new one (empty
 * removes the protection). Every secret part of the key is changed, or
 * none is: kPGPError_BadPassphrase when the old one is wrong,
 * kPGPError_ItemNotFound for a key without a secret part. */
PGPSDK_API PGPError PGPChangePassphrase(PGPKeyRef key, PGPOptionListRef firstOption, ...);
/* Certifies the user ID (an exportable generic certification) with the
 * secret key certifyingKey of the same ring pair, unlocked with the
 * PGPOPassphrase option. */
PGPSDK_API PGPError PGPSignUserID(PGPUserIDRef userID, PGPKeyRef certifyingKey, PGPOptionListRef firstOption, ...);
/* Revokes the key with its own secret key, unlocked with PGPOPassphrase;
 * the reason is tolvORevocationReason's, or none. */
PGPSDK_API PGPError PGPRevokeKey(PGPKeyRef key, PGPOptionListRef firstOption, ...);
/* PGPSignUserID with PGPOExportable(context, false) makes a local
 * certification: it counts in this ring pair like any other, and
 * PGPExportKeySet leaves it out. */
PGPSDK_API PGPOptionListRef PGPOExportable(PGPContextRef context, PGPBoolean exportable);

/* ---- looking after one's own key pair ----
 * Each of these takes the key's passphrase (PGPOPassphrase), makes new
 * self-signatures with the key's secret key, and changes the set at once as
 * the calls above do. kPGPError_BadPassphrase for a wrong passphrase, and
 * kPGPError_ItemNotFound for a key without its secret part; either changes
 * nothing. */

/* Adds a user ID (not the primary one) with the key's usage. */
PGPSDK_API PGPError PGPAddUserID(PGPKeyRef key, char const *name, PGPOptionListRef firstOption, ...);
/* Makes the user ID its key's primary one. */
PGPSDK_API PGPError PGPSetPrimaryUserID(PGPUserIDRef userID, PGPOptionListRef firstOption, ...);
/* Revokes the subkey; the reason is tolvORevocationReason's, or none. */
PGPSDK_API PGPError PGPRevokeSubKey(PGPSubKeyRef subKey, PGPOptionListRef firstOption, ...);
/* Writes the ring pair the set belongs to back to its two files, under an
 * exclusive lock on their folders (kPGPError_KeyRingLocked when another
 * writer keeps it too long). Keys another program wrote to the files
 * since the set read them are taken in first, so no writer's change is
 * lost. Both files are written and flushed under temporary names, each
 * old file is kept as FILE.bak, and only then do the new ones take the
 * files' names (the secret ring first). A failure before that leaves both
 * files as they were and the changes pending. Nothing is written without
 * changes. */
PGPSDK_API PGPError PGPCommitKeyRingChanges(PGPKeySetRef keySet);
/* Forgets the changes since the last commit: the set's ring pair is read
 * from its files again. */
PGPSDK_API PGPError PGPRevertKeyRingChanges(PGPKeySetRef keySet);
/* Whether the set's ring pair has changes not yet committed. */
PGPSDK_API PGPBoolean PGPKeySetNeedsCommit(PGPKeySetRef keySet);

/* Releases a block the SDK handed out (wiped first). Null is ignored. */
PGPSDK_API PGPError PGPFreeData(void *data);

/* Tolv's extension, beside the table: how many keys (or pieces of damaged
 * data after the last key) each ring file of a key set opened with
 * PGPOpenKeyRingPair held that could not be read and were left out. */
PGPSDK_API PGPError tolvGetSkippedKeys(PGPKeySetRef keySet, PGPUInt32 *pubSkipped, PGPUInt32 *secSkipped);
/* Tolv's extension: for the ring pair of a key set opened with
 * PGPOpenKeyRingPair, how many key signature checks were answered from the
 * remembered results beside the rings (*found), and how many good results
 * are new since the rings were read and wait to be saved (*recorded).
 * Both are 0 when nothing is remembered (TOLV_NO_SIGNATURE_CACHE). */
PGPSDK_API PGPError tolvGetSignatureCacheCounts(PGPKeySetRef keySet, PGPUInt32 *found, PGPUInt32 *recorded);
/* Tolv's extension, an option for PGPEncode and PGPDecode: the job stops as
 * kPGPError_UserAbort, leaving no output, as soon as it next reads its
 * input after *flag became non-zero (within one block of input, however
 * long the null-event interval). The caller sets the flag atomically, from
 * any thread or a signal handler, and keeps it alive for the job. */
PGPSDK_API PGPOptionListRef tolvOStopFlag(PGPContextRef context, const PGPUInt32 *flag);
/* Tolv's extension: brings the set's ring pair up to its files when
 * another program or window changed them since they were read or
 * written, keeping the set's own changes not yet committed. *changed
 * tells whether any key changed. kPGPError_KeyRingLocked when a writer
 * keeps the rings too long. */
PGPSDK_API PGPError tolvSyncKeyRing(PGPKeySetRef keySet, PGPBoolean *changed);
/* Tolv's extension: what PGPImportKeySet did with the keys of the set it
 * returned: new to the ring, changed by the import, or already there as
 * they were (a set made without PGPOImportKeysTo counts all as new). */
PGPSDK_API PGPError tolvGetImportCounts(PGPKeySetRef imported, PGPUInt32 *newKeys, PGPUInt32 *updatedKeys,
                                        PGPUInt32 *unchangedKeys);
/* Tolv's extension: the index-th thing the import left out, as a line
 * that names the key (its first user ID, cut short) and says what went:
 * "NAME: could not be read" for a key that could not be read, "NAME: N
 * subkeys, ... left out (more than one key may bring)" for a key bounded
 * against flooding. A NUL-terminated text cut to the buffer's size;
 * kPGPError_EndOfIteration past the last. */
PGPSDK_API PGPError tolvGetImportLeftOut(PGPKeySetRef imported, PGPUInt32 index, char *name, PGPSize size);

/* Tolv's extension: revokes a user ID of a key pair; the reason is
 * tolvORevocationReason's (kTolvRevocation_NoReason or
 * kTolvRevocation_UserIDInvalid), or none. */
PGPSDK_API PGPError tolvRevokeUserID(PGPUserIDRef userID, PGPOptionListRef firstOption, ...);
/* Tolv's extension: when the key (subKey null) or one of its subkeys
 * expires; 0 for never. The date must come after the key's creation. */
PGPSDK_API PGPError tolvSetKeyExpiration(PGPKeyRef key, PGPSubKeyRef subKey, PGPTime expiration,
                                         PGPOptionListRef firstOption, ...);
/* Tolv's extension: writes a revocation certificate of the key into the
 * output option (PGPOAllocatedOutputBuffer or PGPOOutputFile), armoured
 * with PGPOArmorOutput; the reason is tolvORevocationReason's, or none.
 * The key itself stays as it is. */
PGPSDK_API PGPError tolvExportRevocation(PGPKeyRef key, PGPOptionListRef firstOption, ...);
/* Tolv's extension, an option: why a key, subkey or user ID is revoked,
 * a code and a text (which may be empty). */
enum {
    kTolvRevocation_NoReason = 0,
    kTolvRevocation_Superseded = 1,
    kTolvRevocation_Compromised = 2,
    kTolvRevocation_Retired = 3,
    kTolvRevocation_UserIDInvalid = 32
};
PGPSDK_API PGPOptionListRef tolvORevocationReason(PGPContextRef context, PGPUInt32 code, char const *text);
/* Tolv's extension, an option for PGPGenerateSubKey: the new subkey signs
 * (kTolvKeyUsage_Sign; EdDSA or RSA) or encrypts (kTolvKeyUsage_Encrypt,
 * the default; ECDH or RSA). */
enum { kTolvKeyUsage_Encrypt = 0, kTolvKeyUsage_Sign = 1 };
PGPSDK_API PGPOptionListRef tolvOKeyUsage(PGPContextRef context, PGPUInt32 usage);

#ifdef __cplusplus
}
#endif

#endif /* PGPSDK_PGPSDK_H */

#pragma once
// tolv-cli's encode and decode of several files into one folder.
#include "cli/cli_options.h"
#include "sdk/encode_modes.h"

// The options' FILE... encoded with request into --output-dir.
int encodeBatch(const CliOptions& o, const sdk::EncodeRequest& request);
// The options' FILE... decoded into --output-dir, each under the name its
// message carries when it can, else under its own name without .gpg/.asc.
int decodeBatch(const CliOptions& o);

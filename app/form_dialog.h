#pragma once
// The dialog behind Prompts::askForm.
#include <optional>

#include "app/prompts.h"

// Shows the form modally; the answers, or nothing when cancelled.
std::optional<Prompts::FormAnswer> showFormDialog(QWidget* parent, const Prompts::FormRequest& request);

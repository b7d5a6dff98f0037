// The summary at the head of a receipt section: how many apps and windows it lists and
// how many tabs those windows hold, as in "2 apps, 3 windows, 14 tabs".
#pragma once

#include <string>
#include <vector>

#include "stage/StageRecords.h"

namespace tervane::ReceiptWords {

// Up to three clauses joined with ", ": apps, windows, and the sum of the windows'
// tab counts (only when there are windows and the sum is at least 1). Empty when the
// section holds no app and no window.
std::string summary(const std::vector<StageItem>& items);

}  // namespace tervane::ReceiptWords

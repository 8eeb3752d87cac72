#pragma once

namespace zelvant {

// Which phones a request cycle asks: every monitored phone, only those
// without a fresh result of this run, or one phone.
enum class CycleMode { AllPhones = 0, FailedPhones = 1, OnePhone = 2 };

} // namespace zelvant

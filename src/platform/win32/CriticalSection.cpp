#include "platform/CriticalSection.h"

#include <windows.h>

namespace korvix::platform {
namespace {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(void *[6]), "CriticalSection storage too small");
static_assert(alignof(CRITICAL_SECTION) <= alignof(void *), "CriticalSection storage misaligned");

CRITICAL_SECTION *Native(void **storage) { return reinterpret_cast<CRITICAL_SECTION *>(storage); }

}  // namespace

CriticalSection::CriticalSection() { InitializeCriticalSection(Native(storage_)); }

CriticalSection::~CriticalSection() { DeleteCriticalSection(Native(storage_)); }

void CriticalSection::Enter() { EnterCriticalSection(Native(storage_)); }

bool CriticalSection::TryEnter() { return TryEnterCriticalSection(Native(storage_)) != FALSE; }

void CriticalSection::Leave() { LeaveCriticalSection(Native(storage_)); }

}  // namespace korvix::platform

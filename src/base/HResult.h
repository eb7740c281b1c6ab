#pragma once

#include <cstdint>

// HRESULT-style results: negative means failure. They carry the names the Windows headers give
// them and are only defined where those headers have not defined them already.
#ifndef S_OK
#define S_OK (static_cast<int32_t>(0))
#endif
#ifndef S_FALSE
#define S_FALSE (static_cast<int32_t>(1))
#endif
#ifndef E_FAIL
#define E_FAIL (static_cast<int32_t>(0x80004005u))
#endif

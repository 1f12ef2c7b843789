#include "platform/win32/debug_output_sink.h"

#include "platform/win32/windows_api.h"

#include "platform/win32/win32_text.h"

void DebugOutputSink::Write(const std::u16string& line) { OutputDebugStringW(WidePtr(line)); }

#include "cli/interrupt_bridge.h"

#include "cli/interrupt_signal.h"

InterruptBridge::InterruptBridge()
    : m_Watcher([this] {
          while (m_Done.SleepFor(kInterruptWatchIntervalMs))
              if (InterruptRequested())
                  m_Stop.Request();
      })
{
}

InterruptBridge::~InterruptBridge()
{
    m_Done.Request();
    m_Watcher.join();
}

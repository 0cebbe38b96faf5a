// A machine that forwards every call to another one and logs the changes.
#include "platform/logging/logging_machine.h"

namespace platform::logging {

LoggingMachine::LoggingMachine(Machine& inner, CallLog& log)
    : m_inner(inner),
      m_recorder(inner, log),
      m_spooler(m_recorder),
      m_registry(m_recorder),
      m_services(m_recorder),
      m_system(m_recorder),
      m_files(m_recorder),
      m_archive(m_recorder),
      m_serial(m_recorder),
      m_sync(m_recorder),
      m_devices(m_recorder) {}

}  // namespace platform::logging

#include "link/LinkObjects.h"

#include "platform/KernelObjects.h"

bool CLinkObjects::Open() {
  if (IsOpen()) return true;
  m_hInMutex = CMutex::OpenNamed(kInMutexName);
  if (!m_hInMutex) return false;
  m_hInMapping = CFileMapping::Open(kInMappingName);
  m_hInCopyEvent = CEvent::OpenNamed(kInCopyEventName);
  m_hInEmptyEvent = CEvent::OpenNamed(kInEmptyEventName);
  m_hOutMutex = CMutex::OpenNamed(kOutMutexName);
  m_hOutMapping = CFileMapping::Open(kOutMappingName);
  m_hOutCopyEvent = CEvent::OpenNamed(kOutCopyEventName);
  m_hOutEmptyEvent = CEvent::OpenNamed(kOutEmptyEventName);
  if (AreAllOpen()) return true;
  // An incomplete set would leave a thread waiting on or writing through a null object.
  Close();
  return false;
}

bool CLinkObjects::AreAllOpen() const {
  return m_hInMutex && m_hInMapping && m_hInCopyEvent && m_hInEmptyEvent && m_hOutMutex && m_hOutMapping &&
         m_hOutCopyEvent && m_hOutEmptyEvent;
}

void CLinkObjects::Close() {
  CloseHandle(m_hInMutex);
  CloseHandle(m_hInMapping);
  CloseHandle(m_hInCopyEvent);
  CloseHandle(m_hInEmptyEvent);
  CloseHandle(m_hOutMutex);
  CloseHandle(m_hOutMapping);
  CloseHandle(m_hOutCopyEvent);
  CloseHandle(m_hOutEmptyEvent);
}

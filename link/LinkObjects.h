// CLinkObjects: the eight named objects of the IDE link as the display holds them.
//
// The IDE creates the objects before it starts the display; the display only opens them. Open
// takes them in a fixed order, the inbound mutex first: its absence means "no IDE", and the
// display then runs without a link. When the inbound mutex exists but any of the seven objects
// after it cannot be opened (missing, or of the wrong kind), the IDE's set is incomplete and
// the link is treated as absent too: everything already opened is closed again, so no thread
// ever runs with a null object.
//
// Threads: Open and Close run on the owner's thread, before the first link thread starts and
// after the last one has stopped. In between the members never change, so the link threads
// use them without a lock.

#pragma once

#include <string_view>

#include "platform/Event.h"
#include "platform/FileMapping.h"
#include "platform/Mutex.h"

class CLinkObjects {
 public:
  static constexpr std::string_view kInMappingName = "LCDMapMemory";
  static constexpr std::string_view kInMutexName = "LCDMapMemoryMutex";
  static constexpr std::string_view kInCopyEventName = "LCDMapMemoryCopyEvent";
  static constexpr std::string_view kInEmptyEventName = "LCDMapMemoryEmptyEvent";
  static constexpr std::string_view kOutMappingName = "VEVOMapMemory";
  static constexpr std::string_view kOutMutexName = "VEVOMapMemoryMutex";
  static constexpr std::string_view kOutCopyEventName = "VEVOMapMemoryCopyEvent";
  static constexpr std::string_view kOutEmptyEventName = "VEVOMapMemoryEmptyEvent";
  // Every name, in the order in which the handles are held.
  static constexpr std::string_view kNames[8] = {kInMappingName,  kInMutexName,   kInCopyEventName,
                                                 kInEmptyEventName, kOutMappingName, kOutMutexName,
                                                 kOutCopyEventName, kOutEmptyEventName};

  CLinkObjects() = default;
  CLinkObjects(const CLinkObjects&) = delete;
  CLinkObjects& operator=(const CLinkObjects&) = delete;
  ~CLinkObjects() { Close(); }

  // Opens all eight; true when the link is present. Does nothing and returns true when already
  // open.
  bool Open();
  // Closes every open object in the order inbound mutex, inbound area, inbound copy event,
  // inbound empty event, then the same four outbound; each becomes null.
  void Close();
  bool IsOpen() const { return static_cast<bool>(m_hInMutex); }

  CFileMapping m_hInMapping;
  CMutex m_hInMutex;
  CEvent m_hInCopyEvent;
  CEvent m_hInEmptyEvent;
  CFileMapping m_hOutMapping;
  CMutex m_hOutMutex;
  CEvent m_hOutCopyEvent;
  CEvent m_hOutEmptyEvent;

 private:
  bool AreAllOpen() const;
};

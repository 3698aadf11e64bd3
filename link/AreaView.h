// CAreaView: the view of one link area ("LCDMapMemory" or "VEVOMapMemory") that a link thread
// keeps from one packet to the next.
//
// Mapping and unmapping the area for every packet costs page-table work and, in a process
// with several threads, a TLB shoot-down on every other processor; on virtual machines that is
// most of a packet's round trip. So the view is mapped once and kept. What a view per packet
// gave is kept too: each Get looks at the object's size again (fstat) and maps afresh when it
// changed, so a reader bounded by the returned span never touches memory beyond the object as
// it is now, and an area that cannot be mapped (size 0, or mmap failing) yields no bytes.
//
// Ownership and threads: owned and used by one link thread; the mapping must outlive it.

#pragma once

#include <cstddef>
#include <span>

#include "platform/FileMapping.h"
#include "platform/MapView.h"

class CAreaView {
 public:
  explicit CAreaView(const CFileMapping& mapping) : m_mapping(mapping) {}
  CAreaView(const CAreaView&) = delete;
  CAreaView& operator=(const CAreaView&) = delete;

  // The whole area, or an empty span when it cannot be mapped.
  std::span<std::byte> Get();

 private:
  const CFileMapping& m_mapping;
  CMapView m_view;
};

// Where the package of a signed host file ends. Signing an executable appends a certificate
// table after everything the file holds, after first padding the file with zero bytes to a
// multiple of 8:
//
//   +-------------------+  0
//   | host part         |  a PE image: its optional header's data directory 4 gives the
//   | package           |  certificate table's file offset and size
//   +-------------------+  package end (the magic's last byte, 0x36, is not zero)
//   | 0-7 zero bytes    |  alignment padding
//   +-------------------+  table offset
//   | certificate table |
//   +-------------------+  file size = table offset + table size
//
// The signature covers the package, so the package cannot move behind the table: the reader
// looks for its trailer before the table instead. A file that is no PE image, or whose table
// does not end the file, has its package at the very end, as an unsigned file has.
#pragma once

#include <stdint.h>

// How many bytes of a file's start CertificateTableStart is given: the DOS header and a PE
// header within them.
const uint32_t kSignedHeadSize = 4096;
// The most zero bytes a signing tool puts between the package and the table.
const uint32_t kMaxSignPadding = 7;

// The file offset at which the certificate table starts, if `head` (the first `headSize`
// bytes of a file of `fileSize` bytes) is a well-formed PE header whose certificate table ends
// exactly at the end of the file; otherwise `fileSize`.
uint32_t CertificateTableStart(const uint8_t* head, uint32_t headSize, uint32_t fileSize);

// `before` holds the `count` bytes that end at offset `end` (count <= end). Returns `end` moved
// back over the zero bytes at the end of them, at most kMaxSignPadding.
uint32_t StepBackOverPadding(const uint8_t* before, uint32_t count, uint32_t end);

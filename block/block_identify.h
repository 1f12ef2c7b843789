#pragma once
// Identification of a block-protocol controller: its type, memory map and
// version. UI thread, right after AttachDevice opened the link.
void IdentifyBlockDevice();

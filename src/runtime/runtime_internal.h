// Between the runtime's own files: reset and release of the work buffers.
#pragma once

void ResetTextBuffers();
void FreeTextBuffers();
void ResetNumberBuffers();

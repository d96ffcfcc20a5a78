#pragma once

// The processor time the calling thread has used, in ms.
double threadCpuMs();

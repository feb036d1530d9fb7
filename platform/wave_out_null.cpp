// The wave output without a sound device: every call fails the way winmm fails on a machine
// that has none, so the program takes its silent paths and nothing is left undefined.
#include "win32.h"

UINT WINAPI waveOutGetNumDevs(void) { return 0; }

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT waveOut, UINT, LPCWAVEFORMATEX format, DWORD_PTR,
                            DWORD_PTR, DWORD) {
    if (!format) return MMSYSERR_INVALPARAM;
    (void)waveOut; // left as it was, as Windows does on failure
    return MMSYSERR_NODRIVER;
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT, LPWAVEHDR, UINT) { return MMSYSERR_INVALHANDLE; }
MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT, LPWAVEHDR, UINT) { return MMSYSERR_INVALHANDLE; }
MMRESULT WINAPI waveOutWrite(HWAVEOUT, LPWAVEHDR, UINT) { return MMSYSERR_INVALHANDLE; }
MMRESULT WINAPI waveOutReset(HWAVEOUT) { return MMSYSERR_INVALHANDLE; }
MMRESULT WINAPI waveOutClose(HWAVEOUT) { return MMSYSERR_INVALHANDLE; }

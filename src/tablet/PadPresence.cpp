#include "tablet/Tablet.h"

void Tablet::ReportPadGone() {
    readerFoundPadGone = true;
    if (DecodesOnInputLoop()) {
        // The input loop announces it once it has framed the bytes the ring still holds.
        inputRing->WakeReader();
    } else {
        AnnouncePadGone();  // the reader has queued its points itself
    }
}

void Tablet::AnnouncePadGone() {
    padGoneAnnounced = true;
    WakeNextPointWait();
}

bool Tablet::DecodesOnInputLoop() const {
    const int kind = GetTransportKind();
    return kind != kUsbPipeTransport && kind != kTcpClientTransport;
}

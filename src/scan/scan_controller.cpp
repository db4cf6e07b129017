#include "scan/scan_controller.h"

#include "scan/event_types.h"
#include "scan/scan_record.h"

namespace quendrel {

ScanController::ScanController(IScanWindow& window, IClock& clock, IFileSystem& files,
                               const LocationSettings& settings)
    : window_(window), clock_(clock), files_(files), settings_(settings) {}

void ScanController::ChooseEvent(int index) {
    if (index >= 0) {
        window_.ShowVinField(true);
        Focus(ScanField::Vin);
    }
    const bool needsRouteAndDealer = NeedsRouteAndDealer(window_.EventText());
    window_.ShowRouteAndDealer(needsRouteAndDealer);
    vinOnly_ = !needsRouteAndDealer;
    window_.SetFieldText(ScanField::Route, "");
    window_.SetFieldText(ScanField::Dealer, "");
    window_.SetFieldText(ScanField::Vin, "");
}

void ScanController::OnEnter(ScanField field) {
    awaited_ = field;  // and goes on waiting there until the step moves on
    ProcessScan(field);
}

void ScanController::ProcessScan(ScanField field) {
    switch (field) {
        case ScanField::Vin: {
            const std::string typed = window_.FieldText(ScanField::Vin);
            // A scanner sends one leading character before the VIN.
            const std::string vin = typed.size() > 1 ? typed.substr(1) : std::string();
            if (!Accepts(ScanField::Vin, vin)) return;
            window_.SetFieldText(ScanField::Vin, vin);
            if (vinOnly_.value_or(false)) {
                if (!SaveScan()) {
                    // Keep the field as scanned, so that Enter tries again; it
                    // is selected, so that a new scan replaces it instead.
                    window_.SetFieldText(ScanField::Vin, typed);
                    window_.SelectFieldText(ScanField::Vin);
                    return;
                }
                window_.SetFieldText(ScanField::Vin, "");
                window_.SetStatus(kLastScanMessage, kStatusGreen);
            } else {
                Focus(ScanField::Route);
            }
            return;
        }
        case ScanField::Route:
            if (Accepts(ScanField::Route, window_.FieldText(ScanField::Route))) Focus(ScanField::Dealer);
            return;
        case ScanField::Dealer:
            if (!Accepts(ScanField::Dealer, window_.FieldText(ScanField::Dealer))) return;
            // The VIN and Route may have been skipped or changed after their own
            // Enter: a record with a missing or wrong-sized field would break
            // the fixed layout the server reads.
            for (const ScanField earlier : {ScanField::Vin, ScanField::Route}) {
                if (!Accepts(earlier, window_.FieldText(earlier))) {
                    Focus(earlier);
                    return;
                }
            }
            if (!SaveScan()) {
                window_.SelectFieldText(ScanField::Dealer);
                return;
            }
            window_.SetStatus(kLastScanMessage, kStatusGreen);
            for (const ScanFieldSpec& spec : kScanFields) window_.SetFieldText(spec.field, "");
            Focus(ScanField::Vin);
            return;
    }
}

bool ScanController::Accepts(ScanField field, const std::string& scanned) {
    if (scanned.size() == SpecOf(field).length) return true;
    BeepThreeTimes();
    window_.SetStatus(RefusedMessage(field), kStatusRed);
    window_.SetFieldText(field, "");
    return false;
}

bool ScanController::SaveScan() {
    const LocalTime now = clock_.Now();
    Scan scan;
    scan.vin = window_.FieldText(ScanField::Vin);
    scan.eventText = window_.EventText();
    scan.route = window_.FieldText(ScanField::Route);
    scan.dealer = window_.FieldText(ScanField::Dealer);

    // The record goes to disk first: a scan is listed only once it is stored,
    // so the list never shows one that is not.
    const std::string record = FormatScanRecord(scan, settings_.LocationCode, now) + "\r\n";
    const Status stored = files_.AppendDurably(kSaveDataFile, record);
    if (!stored.ok()) {
        // A scan that is not on disk must not look saved, not even by an
        // earlier "Last Scan" still on show.
        BeepThreeTimes();
        window_.SetStatus(kNotSavedMessage, kStatusRed);
        window_.ShowMessage(std::string("The scan was not saved.\r\n\r\n") + stored.description + "\r\n\r\n" +
                            "Check that " + kSaveDataFile + " is not read-only or open in another program, "
                            "then press Enter to save the scan again.");
        return false;
    }
    window_.AddScanListEntry(FormatScanListEntry(scan, window_.ClockText()));
    return true;
}

void ScanController::Focus(ScanField field) {
    awaited_ = field;
    window_.FocusField(field);
}

void ScanController::BeepThreeTimes() {
    for (int i = 0; i < 3; ++i) window_.Beep();
}

}  // namespace quendrel

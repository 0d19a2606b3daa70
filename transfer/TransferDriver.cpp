#include "transfer/TransferDriver.h"

#include "framework/FCArticulations.h"
#include "framework/FCMusicRegion.h"
#include "framework/FCNoteEntryLayer.h"
#include "host/HostFunctions.h"
#include "framework/FCEntryPitchesCollection.h"
#include "transfer/MessageBuffer.h"
#include "transfer/SelectionChecks.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace {

struct Position {
    int16_t instrument;
    int16_t layer;
};

// Whether rebuilding (instrument, layer) over `first..last` writes over measures of the
// source position.
bool OverlapsSource(const FCNoteEntryLayer& source, Position position, int32_t first, int32_t last) {
    return position.instrument == source.GetInstrument() && position.layer == source.GetLayer() &&
           first <= source.GetLastMeasure() && source.GetFirstMeasure() <= last;
}

using LoadedArticulations = std::vector<std::pair<int32_t, std::unique_ptr<FCArticulations>>>;

// The articulations of every flagged entry of `layer`, by entry index. False when a read was
// cut short: the host refused a record that it gives when asked again.
bool ReadArticulations(const FCNoteEntryLayer& layer, LoadedArticulations& out) {
    for (int32_t i = 0; i < layer.GetCount(); ++i) {
        FCNoteEntry* entry = layer.GetEntryAt(i);
        if (entry == nullptr || (entry->GetEntryFlags() & ArticulationFlag) == 0) continue;
        auto loaded = std::make_unique<FCArticulations>(entry);
        const int32_t count = loaded->LoadAll();
        FCArticulation probe;
        if (count < kNoSequence && probe.LoadDetail(entry->GetEntryNumber(), static_cast<uint16_t>(count))) {
            return false;
        }
        out.emplace_back(i, std::move(loaded));
    }
    return true;
}

// Puts back what `former` held before a rebuild the host stopped halfway: its frames, still
// as loaded, then the tuplets they place and the articulations read before.
void Restore(FCNoteEntryLayer& former, LoadedArticulations& articulations) {
    former.Save();
    former.CopyTupletsFrom(former);
    for (auto& [index, loaded] : articulations) {
        for (int32_t i = 0; i < loaded->GetCount(); ++i) {
            FCArticulation* articulation = loaded->GetArticulationAt(i);
            if (articulation != nullptr) articulation->Save();
        }
    }
}

// Loads one destination layer, counts it and rebuilds it when the counts agree.
void VisitDestinationLayer(const FCNoteEntryLayer& source, int sourceCount, Position position,
                           const FCMusicRegion& destination) {
    std::unique_ptr<FCNoteEntryLayer> layer(FCNoteEntryLayer::CreateExact(
        position.layer, position.instrument, static_cast<int16_t>(destination.GetStartMeasure()),
        static_cast<int16_t>(destination.GetEndMeasure())));
    layer->Load();
    if (layer->CountAttackGroups() == sourceCount) TransferLayer(source, *layer);
}

} // namespace

bool TransferRhythm(const FCMusicRegion& destination, char* buffer) {
    if (!CheckDestinationSelection(destination, buffer)) return false;

    // The source covers exactly its own measures, wherever the destination lies.
    std::unique_ptr<FCNoteEntryLayer> source(FCNoteEntryLayer::CreateExact(
        0, fx::SlotToInst(SourceRegion.startSlot, SourceRegion.startSlotList),
        static_cast<int16_t>(SourceRegion.GetStartMeasure()), static_cast<int16_t>(SourceRegion.GetEndMeasure())));
    source->SetVisibleOnly(false);
    source->Load();

    const int sourceCount = source->CountAttackGroups();
    if (sourceCount < 1) {
        WriteMessage(buffer, "Source region didn't contain any notes in layer 1.");
        return false;
    }

    // A destination layer that writes over the source position is rebuilt last, so that every
    // other layer receives the source as it stood when COPY began.
    std::vector<Position> deferred;
    for (int32_t slot = destination.startSlot; slot <= destination.endSlot; ++slot) {
        const int16_t instrument = fx::SlotToInst(static_cast<int16_t>(slot), destination.startSlotList);
        for (int32_t layer = 0; layer < fx::GetMaxLayers(); ++layer) {
            const Position position{instrument, static_cast<int16_t>(layer)};
            if (OverlapsSource(*source, position, destination.GetStartMeasure(), destination.GetEndMeasure())) {
                deferred.push_back(position);
                continue;
            }
            VisitDestinationLayer(*source, sourceCount, position, destination);
        }
    }
    for (const Position& position : deferred) {
        VisitDestinationLayer(*source, sourceCount, position, destination);
    }
    return true;
}

void TransferLayer(const FCNoteEntryLayer& source, FCNoteEntryLayer& destination) {
    // A layer is never rebuilt from itself.
    if (source.GetLayer() == destination.GetLayer() && source.GetInstrument() == destination.GetInstrument() &&
        source.GetFirstMeasure() == destination.GetFirstMeasure()) {
        return;
    }

    // Articulations are read before the first save, which may write over the source's own
    // entries when the destination overlaps it; the destination's own are kept for a restore.
    // Either read cut short leaves the layer alone.
    LoadedArticulations articulations;
    LoadedArticulations former;
    if (!ReadArticulations(source, articulations) || !ReadArticulations(destination, former)) return;

    FCEntryPitchesCollection pitches;
    pitches.CollectFrom(destination);

    // The rebuilt layer covers exactly the source's measures and is cloned even where the
    // source layer is hidden in the current view.
    std::unique_ptr<FCNoteEntryLayer> rebuilt(FCNoteEntryLayer::CreateExact(
        source.GetLayer(), source.GetInstrument(), source.GetFirstMeasure(), source.GetLastMeasure()));
    rebuilt->SetVisibleOnly(false);
    if (!rebuilt->CloneTo(destination.GetLayer(), destination.GetInstrument(), destination.GetFirstMeasure())) {
        pitches.Forget();
        return;
    }
    // Unsaved, the rebuilt frames are given back untouched: the layer stays as it was.
    if (rebuilt->CountAttackGroups() != pitches.GetCount()) {
        pitches.Forget();
        return;
    }
    rebuilt->ApplyPitches(pitches);
    pitches.Forget();

    // Every step must go through for the layer to be the rebuilt one; otherwise it goes back.
    bool complete = rebuilt->Save();
    complete = rebuilt->CopyTupletsFrom(source) && complete;
    for (auto& [index, sourceArticulations] : articulations) {
        FCNoteEntry* entry = rebuilt->GetEntryAt(index);
        if (entry == nullptr) continue;
        const int32_t wanted = sourceArticulations->GetCount();
        complete = entry->CopyArticulationsFrom(*sourceArticulations) == wanted && complete;
    }
    complete = rebuilt->Save() && complete;
    if (!complete) {
        rebuilt.reset();
        Restore(destination, former);
    }
}

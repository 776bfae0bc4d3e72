#pragma once
// HCreateStructure: structural steel members (channel, wide-flange "wide channel", angle, tee,
// and a plain box for user-defined sections). Each member is one shell in the segment the
// caller has open: the section outline extruded along the member in the canonical frame, turned
// about the member axis, placed on the member by the element placement rule, with level 1 a
// copy of the shell and, for the channel, wide channel and box, level 2 the centre line.

#include "platform/mvo/HBaseOperator.h"

class HBaseViewEx;

class HCreateStructure : public HBaseOperator {
public:
    /// The view may be null; it is read only for its up direction (InsertStructuralShape).
    HCreateStructure(HBaseViewEx* view, int doRepeat = 0, int doCapture = 1);

    // Members from (x1, y1, z1) to (x2, y2, z2); `turn` in degrees about the member axis
    // (channel, wide channel, tee and box by −turn, the angle by +turn). Each returns the key
    // of the member's shell, or −1 with nothing drawn when an argument is not finite or no
    // segment is open.

    /// Flanges of thickness s1 and width s3, web of thickness s2, depth s4.
    long InsertChannel(float x1, float y1, float z1, float x2, float y2, float z2, float s1,
                       float s2, float s3, float s4, float turn);
    /// I section: flange thickness s1, flange width s3, web thickness s2, clear web height s4;
    /// after the turn it is turned once more so its strong axis follows the member's slope.
    long InsertWideChannel(float x1, float y1, float z1, float x2, float y2, float z2, float s1,
                           float s2, float s3, float s4, float turn);
    /// Flange thickness s2 and width s1, stem width s3, depth s4.
    long InsertStructuralTee(float x1, float y1, float z1, float x2, float y2, float z2, float s1,
                             float s2, float s3, float s4, float turn);
    /// Leg thicknesses s2 (along −x) and s3 (along the top), sizes s1 and s4.
    long InsertAngle(float x1, float y1, float z1, float x2, float y2, float z2, float s1,
                     float s2, float s3, float s4, float turn);
    /// Box s2 wide (section x) and s1 deep (section y).
    long InsertUserDef(float x1, float y1, float z1, float x2, float y2, float z2, float s1,
                       float s2, float turn);
    /// The second way of building members, from two section directions (see
    /// BuildStructuralShape): kind 0 wide channel, 1 channel, 2 angle, 3 tee, 4 box; level 2
    /// only (the centre line). Returns −1 (nothing drawn) for another kind.
    long InsertStructuralShape(int kind, float x1, float y1, float z1, float x2, float y2,
                               float z2, float s1, float s2, float s3, float s4, float turn,
                               int fixedSide);

    /// The structure merge: keys[0 … count − 2] are shells, keys[count − 1] the segment whose
    /// object-to-world transform places them. Inserts one shell, the fused points mapped by
    /// that transform, into the open segment, deletes the parts and the holding segment, and
    /// returns the new key (−1, nothing changed, for invalid keys or count below 2).
    long MergeShells(int count, long* keys);

    const char* GetName() override { return "Create Structural Steel"; }
    /// Copies "Create Structural Steel" into buffer; null is ignored.
    void GetName(char* buffer);

private:
    HBaseViewEx* m_viewEx = nullptr;
};

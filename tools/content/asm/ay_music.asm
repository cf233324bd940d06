; AY music (128K): a tune on the 128K's sound chip. Channel A sings the melody, channel B
; arpeggiates the chord (a different note of it every frame), channel C plays the bass and,
; with noise under the envelope, the drums, which also flash the border. Three meters show the
; channels' volumes, and a piano roll scrolls the notes by: melody yellow, chord cyan, bass
; magenta.

        INCLUDE "zx_hardware.inc"

FRAMES_PER_ROW  EQU 6           ; an eighth note
ROWS            EQU 128         ; eight chords of sixteen rows
REST            EQU 0FEh        ; in the melody: silence (0 holds the note before)
KICK            EQU 1
SNARE           EQU 2
MIXER_TONES     EQU 38h         ; tones on A, B and C, no noise
MIXER_DRUM      EQU 18h         ; and noise on C

TITLE_ROW       EQU 1
METER_ROW       EQU 3           ; rows 3-5: channels A, B and C
METER_CELLS     EQU 28
ROLL_TOP        EQU 8           ; rows 8-21: the piano roll
ROLL_BOTTOM     EQU 21
ROLL_ROWS       EQU ROLL_BOTTOM-ROLL_TOP+1
ROLL_BASE       EQU A2          ; the note on the bottom row; three semitones a row up
CAPTION_ROW     EQU 23

        ORG 8000h
start:  TAKE_OVER
        call clear_screen       ; the roll is drawn in paper colours over a blank bitmap
        ld b,METER_ROW
        call segments           ; the meters are LEDs
        ld b,METER_ROW+1
        call segments
        ld b,METER_ROW+2
        call segments
        ld hl,lines
        call print_lines
        ld hl,ATTRIBUTES + TITLE_ROW*32
        ld a,BRIGHT+WHITE
        call fill_row
        ld hl,ATTRIBUTES + CAPTION_ROW*32
        ld a,CYAN
        call fill_row
        ld hl,ATTRIBUTES + METER_ROW*32 + 1
        ld (hl),BRIGHT+YELLOW   ; each channel's letter in its colour in the roll
        ld hl,ATTRIBUTES + (METER_ROW+1)*32 + 1
        ld (hl),BRIGHT+CYAN
        ld hl,ATTRIBUTES + (METER_ROW+2)*32 + 1
        ld (hl),BRIGHT+MAGENTA
        ld hl,chip
        ld b,(chip_end-chip)/2
set_chip:
        ld a,(hl)
        inc hl
        ld e,(hl)
        inc hl
        push bc
        call ay
        pop bc
        djnz set_chip
        ld a,1
        ld (timer),a            ; the first row at once
        ei

main:   halt
        call player
        call meters
        ld hl,tick
        inc (hl)
        bit 0,(hl)
        call z,roll             ; a column every other frame
        jr main

; One frame of the tune: a new row every FRAMES_PER_ROW frames, the melody's volume falling to
; where it holds, the next note of the chord, the drum dying away.
player: ld hl,timer
        dec (hl)
        jr nz,play_frame
        ld (hl),FRAMES_PER_ROW
        ld a,(row)
        ld e,a
        ld d,0
        ld hl,melody
        add hl,de
        ld a,(hl)
        call melody_note
        ld hl,bass
        add hl,de
        ld a,(hl)
        call bass_note
        ld hl,drums
        add hl,de
        ld a,(hl)
        call drum
        ld a,(row)
        rrca
        rrca
        rrca
        rrca
        and 7
        ld (chord),a            ; a chord every sixteen rows
        ld a,(row)
        inc a
        and ROWS-1
        ld (row),a
play_frame:
        ld a,(volume_a)
        cp 11
        jr c,held
        dec a
        ld (volume_a),a
held:   ld e,a
        ld a,AY_VOLUME_A
        call ay
        ; The chord's root, third and fifth in turn, the root the loudest.
        ld a,(arpeggio)
        inc a
        cp 3
        jr c,arpeggio_set
        xor a
arpeggio_set:
        ld (arpeggio),a
        ld c,a
        ld b,0
        ld hl,accents
        add hl,bc
        ld e,(hl)
        ld a,e
        ld (volume_b),a
        ld a,AY_VOLUME_B
        push bc
        call ay
        pop bc
        ld a,(chord)
        ld l,a
        add a,a
        add a,l                 ; three notes a chord
        add a,c
        ld c,a
        ld b,0
        ld hl,chords
        add hl,bc
        ld a,(hl)
        ld (note_b),a
        ld c,AY_TONE_B
        call tone
        ; The drum: noise on C for a few frames, then the bass alone again.
        ld a,(drum_frames)
        or a
        ret z
        dec a
        ld (drum_frames),a
        ld a,(volume_c)
        sub 2
        ld (volume_c),a
        ld a,(drum_frames)
        or a
        ret nz
        ld (border),a
        out (ULA),a
        ld a,12
        ld (volume_c),a
        ld e,a
        ld a,AY_VOLUME_C
        call ay
        ld a,AY_MIXER
        ld e,MIXER_TONES
        jp ay

; A = the melody's note for this row. Keeps DE.
melody_note:
        or a
        ret z                   ; held
        push de
        cp REST
        jr z,rest
        ld (note_a),a
        ld c,AY_TONE_A
        call tone
        ld a,15                 ; struck loud, then falling
        ld (volume_a),a
        pop de
        ret
rest:   xor a
        ld (volume_a),a
        ld (note_a),a
        pop de
        ret

; A = the bass note for this row. Keeps DE.
bass_note:
        or a
        ret z
        push de
        ld (note_c),a
        ld c,AY_TONE_C
        call tone
        pop de
        ret

; A = the drum for this row: noise on channel C, shaped by the envelope (one fall, restarted by
; writing the shape), a low rumble for the kick, a hiss for the snare. Keeps DE.
drum:   or a
        ret z
        push de
        ld hl,kick_sound
        ld c,BLUE
        cp KICK
        jr z,drum_set
        ld hl,snare_sound
        ld c,CYAN
drum_set:
        ld a,c
        ld (border),a
        out (ULA),a
        ld a,AY_NOISE
        ld e,(hl)
        inc hl
        push hl
        call ay
        pop hl
        ld a,AY_ENVELOPE+1
        ld e,(hl)
        call ay
        ld a,AY_MIXER
        ld e,MIXER_DRUM
        call ay
        ld a,AY_VOLUME_C
        ld e,10h                ; C follows the envelope
        call ay
        ld a,AY_SHAPE
        ld e,0
        call ay
        ld a,3
        ld (drum_frames),a
        ld a,15
        ld (volume_c),a
        pop de
        ret

; The three meters: two LEDs a step of volume, green, then yellow, then red.
meters: ld hl,ATTRIBUTES + METER_ROW*32 + 3
        ld a,(volume_a)
        call meter
        ld hl,ATTRIBUTES + (METER_ROW+1)*32 + 3
        ld a,(volume_b)
        call meter
        ld hl,ATTRIBUTES + (METER_ROW+2)*32 + 3
        ld a,(volume_c)         ; and on into the last meter

; The meter at HL for volume A (0-15).
meter:  add a,a
        sub 2
        jr nc,meter_length
        xor a
meter_length:
        ld c,a                  ; cells to light
        ld de,meter_colours
        ld b,METER_CELLS
meter_cell:
        ld a,c
        or a
        ld a,BLACK              ; LD keeps the flags of OR
        jr z,meter_set
        dec c
        ld a,(de)
meter_set:
        ld (hl),a
        inc l
        inc de
        djnz meter_cell
        ret

; The piano roll moves a cell left; the notes sounding now go into its last column.
roll:   ld hl,ATTRIBUTES + ROLL_TOP*32 + 1
        ld de,ATTRIBUTES + ROLL_TOP*32
        ld a,ROLL_ROWS
roll_row:
        ld bc,31
        ldir
        ex de,hl
        ld (hl),BLACK           ; the new column starts empty
        ex de,hl
        inc hl
        inc de
        dec a
        jr nz,roll_row
        ld a,(note_c)
        ld c,BRIGHT+MAGENTA*PAPER
        call plot
        ld a,(note_b)
        ld c,BRIGHT+CYAN*PAPER
        call plot
        ld a,(note_a)
        or a
        ret z                   ; a rest
        ld c,BRIGHT+YELLOW*PAPER

; Lights the cell of note A in the roll's last column in colour C.
plot:   sub ROLL_BASE
        jr nc,plot_above
        xor a
plot_above:
        ld b,ROLL_BOTTOM
plot_row:
        sub 3
        jr c,plot_found
        dec b
        ld e,a
        ld a,b
        cp ROLL_TOP
        ret c                   ; above the roll
        ld a,e
        jr plot_row
plot_found:
        ld l,b
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        ld de,ATTRIBUTES+31
        add hl,de
        ld (hl),c
        ret

        INCLUDE "screen.inc"
        INCLUDE "print.inc"
        INCLUDE "ay.inc"

isr:    ei
        reti
code_end:

tick:   DEFB 0
timer:  DEFB 0                  ; frames left of this row
row:    DEFB 0                  ; the next row
chord:  DEFB 0
arpeggio:
        DEFB 0                  ; which note of the chord
drum_frames:
        DEFB 0
border: DEFB 0
volume_a:
        DEFB 0
volume_b:
        DEFB 0
volume_c:
        DEFB 12
note_a: DEFB 0                  ; what each channel plays, for the roll
note_b: DEFB 0
note_c: DEFB 0

; The chip at the start: register, value.
chip:   DEFB AY_MIXER,MIXER_TONES
        DEFB AY_VOLUME_A,0
        DEFB AY_VOLUME_B,0
        DEFB AY_VOLUME_C,12
        DEFB AY_ENVELOPE,0
chip_end EQU $

; The drums: noise period, envelope period (high byte).
kick_sound:
        DEFB 31,6
snare_sound:
        DEFB 6,3

; The chord's volume on its root, third and fifth.
accents:
        DEFB 12,9,8

meter_colours:
        REPT 16
        DEFB BRIGHT+GREEN
        ENDM
        REPT 8
        DEFB BRIGHT+YELLOW
        ENDM
        REPT 4
        DEFB BRIGHT+RED
        ENDM

lines:  DEFB TITLE_ROW,4,"GLIMMERBOX 128  AY MUSIC",0
        DEFB METER_ROW,1,"A",0
        DEFB METER_ROW+1,1,"B",0
        DEFB METER_ROW+2,1,"C",0
        DEFB CAPTION_ROW,4,"THREE CHANNELS, ONE CHIP",0
        DEFB 0FFh

font:   INCBIN "font.bin"

        DEFS (-$) AND 0FFh
periods:
        INCLUDE "ay_notes.inc"

; Root, third and fifth of each of the eight chords.
chords: DEFB D4,F4,A4           ; D minor
        DEFB As3,D4,F4          ; B flat
        DEFB F4,A4,C5           ; F
        DEFB C4,E4,G4           ; C
        DEFB D4,F4,A4           ; D minor
        DEFB As3,D4,F4          ; B flat
        DEFB C4,E4,G4           ; C
        DEFB A3,Cs4,E4          ; A

; The three tracks, a row an eighth note, sixteen rows a chord.
melody: DEFB A4,0,D5,0,F5,0,E5,D5,E5,0,0,0,A4,0,0,0
        DEFB As4,0,D5,0,F5,0,G5,F5,F5,0,D5,0,0,0,0,0
        DEFB C5,0,F5,0,A5,0,G5,F5,G5,0,0,0,C5,0,0,0
        DEFB E5,0,G5,0,E5,0,D5,C5,D5,0,0,0,0,0,REST,0
        DEFB A5,0,F5,0,D5,0,F5,A5,G5,0,F5,0,E5,0,D5,0
        DEFB D5,0,F5,0,As5,0,A5,G5,F5,0,0,0,D5,0,0,0
        DEFB E5,0,G5,0,C6,0,As5,A5,G5,0,E5,0,C5,0,0,0
        DEFB Cs5,0,E5,0,A5,0,G5,F5,E5,0,0,0,Cs5,0,REST,0

bass:   DEFB D3,0,0,D3,0,0,D3,0,D4,0,0,D3,0,0,D4,0
        DEFB As2,0,0,As2,0,0,As2,0,As3,0,0,As2,0,0,As3,0
        DEFB F2,0,0,F2,0,0,F2,0,F3,0,0,F2,0,0,F3,0
        DEFB C3,0,0,C3,0,0,C3,0,C4,0,0,C3,0,0,C4,0
        DEFB D3,0,0,D3,0,0,D3,0,D4,0,0,D3,0,0,D4,0
        DEFB As2,0,0,As2,0,0,As2,0,As3,0,0,As2,0,0,As3,0
        DEFB C3,0,0,C3,0,0,C3,0,C4,0,0,C3,0,0,C4,0
        DEFB A2,0,0,A2,0,0,A2,0,A3,0,0,A2,0,0,A3,0

drums:  REPT 7
        DEFB KICK,0,0,0,SNARE,0,KICK,0,KICK,0,0,0,SNARE,0,0,0
        ENDM
        DEFB KICK,0,0,0,SNARE,0,KICK,0,KICK,0,0,0,SNARE,SNARE,SNARE,SNARE

        VECTORS isr

        END start

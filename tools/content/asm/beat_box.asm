; Beat box (48K): a drum machine on the beeper. Kick, snare and hi-hat over a bass line, the
; border flashing red on the kick and yellow on the snare, a column of LEDs for each that leaps
; when it sounds, and the sixteen steps of the bar lit in turn along the bottom.
; Each frame: HALT, the sequencer, the LEDs, then the frame's sound (drums in a step's first
; frame, the bass in the frames after), played by counted loops that toggle the speaker.

        INCLUDE "zx_hardware.inc"

FRAMES_PER_STEP EQU 6           ; a sixteenth note: 125 beats a minute
KICK            EQU 1
SNARE           EQU 2
HAT             EQU 4
BASS_TIME       EQU 48000       ; T-states of bass tone a frame

TITLE_ROW       EQU 1
TOP_ROW         EQU 4           ; the LED columns, 16 rows from here
BOTTOM_ROW      EQU 19
LABEL_ROW       EQU 20
STEP_ROW        EQU 22
DIM             EQU BLUE        ; a LED that is off
LIT_STEP        EQU BRIGHT+WHITE

        ORG 8000h
start:  TAKE_OVER
        call clear_screen
        ld b,TOP_ROW
leds:   push bc
        call segments
        pop bc
        inc b
        ld a,b
        cp BOTTOM_ROW+1
        jr nz,leds
        ld b,STEP_ROW
        call segments
        ld hl,lines
        call print_lines
        ld hl,ATTRIBUTES + TITLE_ROW*32
        ld a,BRIGHT+YELLOW
        call fill_row
        ld hl,ATTRIBUTES + LABEL_ROW*32
        ld a,WHITE
        call fill_row
        ld hl,pattern
        ld (position),hl
        ld a,1
        ld (timer),a            ; the first step at once
        ei

main:   halt
        call sequencer
        call draw_leds
        call draw_steps
        call sound
        jr main

; Every frame the LEDs fall by one; every FRAMES_PER_STEP frames the next step: its drums,
; its bass note, the LEDs they light and the border.
sequencer:
        ld hl,levels
        ld b,4
fall:   ld a,(hl)
        or a
        jr z,fallen
        dec (hl)
fallen: inc hl
        djnz fall
        xor a
        ld (drums),a            ; drums sound in a step's first frame only
        ld hl,timer
        dec (hl)
        jr z,next_step
        ld a,(hl)
        cp FRAMES_PER_STEP-2
        ret nz
        xor a
        ld (border),a           ; the flash lasts two frames
        ret
next_step:
        ld (hl),FRAMES_PER_STEP
        ld hl,(position)
        ld a,(hl)
        cp 0FFh
        jr nz,read_step
        ld hl,pattern           ; the end: from the top
        ld a,(hl)
read_step:
        ld (drums),a
        inc hl
        ld a,(hl)
        ld (note),a
        inc hl
        ld (position),hl
        ld a,(note)
        or a
        jr z,no_bass
        ld a,12
        ld (levels+3),a
no_bass:
        ld a,(drums)
        ld c,BLACK
        bit 2,a                 ; HAT
        jr z,no_hat
        ld hl,levels+2
        ld (hl),10
no_hat: bit 1,a                 ; SNARE
        jr z,no_snare
        ld hl,levels+1
        ld (hl),16
        ld c,YELLOW
no_snare:
        bit 0,a                 ; KICK
        jr z,no_kick
        ld hl,levels
        ld (hl),16
        ld c,RED
no_kick:
        ld a,c
        ld (border),a
        ret

; The four LED columns, each as high as its level: green, then yellow, then red at the top.
draw_leds:
        ld hl,columns
        ld de,levels
        ld b,4
draw_column:
        push bc
        push de
        push hl
        ld a,(de)
        ld c,a                  ; C: LEDs still to light
        ld a,(hl)
        add a,LOW (ATTRIBUTES + BOTTOM_ROW*32)
        ld l,a
        ld h,HIGH (ATTRIBUTES + BOTTOM_ROW*32)
        ld de,heights
        ld b,16
led_row:
        ld a,c
        or a
        ld a,DIM                ; LD keeps the flags of OR
        jr z,led_set
        dec c
        ld a,(de)
led_set:
        push hl
        REPT 5
        ld (hl),a
        inc l
        ENDM
        ld (hl),a
        pop hl
        inc de
        ld a,l
        sub 32                  ; the row above
        ld l,a
        jr nc,led_next
        dec h
led_next:
        djnz led_row
        pop hl
        pop de
        pop bc
        inc hl
        inc de
        djnz draw_column
        ret

; The bar's sixteen steps along the bottom, two cells each, coloured by their drums; the step
; playing lit white.
draw_steps:
        ld hl,(position)
        ld de,pattern
        or a
        sbc hl,de
        dec l
        dec l                   ; HL: the offset of the step playing, 2 bytes a step
        ld a,l
        srl a
        and 15
        ld c,a                  ; C: its place in the bar
        ld a,l
        and 0E0h                ; the bar's first step: 32 bytes a bar
        ld l,a
        add hl,de
        ld de,ATTRIBUTES + STEP_ROW*32
        ld b,0
draw_step:
        ld a,b
        cp c
        ld a,LIT_STEP
        jr z,step_set
        ld a,(hl)               ; the step's drums
        and 7
        push hl
        ld hl,drum_colours
        add a,l
        ld l,a
        jr nc,colour_found
        inc h
colour_found:
        ld a,(hl)
        pop hl
step_set:
        ld (de),a
        inc e
        ld (de),a
        inc e
        inc hl
        inc hl
        inc b
        ld a,b
        cp 16
        jr nz,draw_step
        ret

; The frame's sound: the drums of a new step, else the bass until the step's last frame.
sound:  ld a,(border)
        out (ULA),a
        ld a,(drums)
        or a
        jr z,bass
        bit 0,a
        call nz,kick
        ld a,(drums)
        bit 1,a
        ld bc,100*256+4         ; 100 samples, a longer wait between them: a snare
        call nz,noise
        ld a,(drums)
        bit 2,a
        ld bc,40*256+1          ; 40 samples close together: a hi-hat
        call nz,noise
        ret

bass:   ld a,(timer)
        cp 1
        ret z                   ; a gap before the next step
        ld a,(note)
        or a
        ret z
        ld l,a
        ld h,0
        ld d,h
        ld e,l
        add hl,hl
        add hl,de
        ld de,pitches
        add hl,de
        ld c,(hl)               ; C: the delay
        inc hl
        ld e,(hl)
        inc hl
        ld d,(hl)               ; DE: the half-periods
        ld a,(border)
        ld l,a
tone:   ld a,l
        xor SPEAKER
        ld l,a
        out (ULA),a
        ld b,c
tone_wait:
        ex (sp),hl              ; 19 T-states, and back: a slow loop for low notes
        ex (sp),hl
        djnz tone_wait
        dec de
        ld a,d
        or e
        jr nz,tone
        jr silence

; A falling thump: nine half-periods, each a quarter longer than the last, from 880 T-states.
kick:   ld hl,34                ; in 26 T-state counts
        ld b,9
kick_half:
        ld a,(speaker)
        xor SPEAKER
        ld (speaker),a
        ld e,a
        ld a,(border)
        or e
        out (ULA),a
        ld d,h
        ld e,l
kick_wait:
        dec de
        ld a,d
        or e
        jr nz,kick_wait
        ld d,h
        ld e,l
        srl d
        rr e
        srl d
        rr e
        add hl,de
        djnz kick_half
        xor a
        ld (speaker),a
        jr silence

; B samples of noise, C counts of 16 T-states apart, from a 16-bit shift register whose
; feedback taps make it run through every value but 0 before it repeats.
noise:  ld a,(border)
        ld e,a
        ld hl,(seed)
noise_sample:
        srl h
        rr l                    ; the bit shifted out is the sample
        ld a,e
        jr nc,noise_out
        ld a,h
        xor 0B4h
        ld h,a
        ld a,e
        or SPEAKER
noise_out:
        out (ULA),a
        ld d,c
noise_wait:
        dec d
        jr nz,noise_wait
        djnz noise_sample
        ld (seed),hl

silence:
        ld a,(border)
        out (ULA),a             ; the speaker off
        ret

        INCLUDE "screen.inc"
        INCLUDE "print.inc"

isr:    ei
        reti
code_end:

timer:  DEFB 0                  ; frames left of this step
position:
        DEFW 0                  ; the next step in the pattern
drums:  DEFB 0                  ; to strike this frame
note:   DEFB 0                  ; this step's bass
border: DEFB 0
speaker:
        DEFB 0
seed:   DEFW 0ACE1h
levels: DEFB 0,0,0,0            ; kick, snare, hat, bass

columns:
        DEFB 2,9,16,23          ; each LED column's first character column; six wide
heights:
        DEFB BRIGHT+GREEN,BRIGHT+GREEN,BRIGHT+GREEN,BRIGHT+GREEN
        DEFB BRIGHT+GREEN,BRIGHT+GREEN,BRIGHT+GREEN,BRIGHT+GREEN
        DEFB BRIGHT+YELLOW,BRIGHT+YELLOW,BRIGHT+YELLOW,BRIGHT+YELLOW
        DEFB BRIGHT+YELLOW,BRIGHT+RED,BRIGHT+RED,BRIGHT+RED
; A step's colour by its drums (kick before snare before hi-hat).
drum_colours:
        DEFB DIM,BRIGHT+RED,BRIGHT+YELLOW,BRIGHT+RED
        DEFB BRIGHT+CYAN,BRIGHT+RED,BRIGHT+YELLOW,BRIGHT+RED

lines:  DEFB TITLE_ROW,6,"GLIMMERBOX BEAT BOX",0
        DEFB LABEL_ROW,3,"KICK",0
        DEFB LABEL_ROW,9,"SNARE",0
        DEFB LABEL_ROW,17,"HAT",0
        DEFB LABEL_ROW,24,"BASS",0
        DEFB 0FFh

font:   INCBIN "font.bin"

; The bass notes: the tone loop takes 51 x (delay + 1) T-states a half-period, so a note of
; f Hz has delay 34314 / f - 1. A note's name is its place in the table.
PITCH MACRO delay
        DEFB delay
        DEFW BASS_TIME / (51*(delay+1))
        ENDM

pitches:
        PITCH 0                 ; no note
F3      EQU ($-pitches)/3
        PITCH 196
G3      EQU ($-pitches)/3
        PITCH 174
A3      EQU ($-pitches)/3
        PITCH 155
C4      EQU ($-pitches)/3
        PITCH 130
D4      EQU ($-pitches)/3
        PITCH 116
E4      EQU ($-pitches)/3
        PITCH 103
F4      EQU ($-pitches)/3
        PITCH 97
G4      EQU ($-pitches)/3
        PITCH 87
A4      EQU ($-pitches)/3
        PITCH 77
C5      EQU ($-pitches)/3
        PITCH 65

; Four bars of sixteen steps, each the drums it strikes and its bass note (0: none).
pattern:
        DEFB KICK+HAT,A3,    0,0,        HAT,A4,     0,0             ; A minor
        DEFB SNARE+HAT,A3,   0,0,        KICK+HAT,A4, HAT,E4
        DEFB KICK+HAT,A3,    0,0,        HAT,A4,     KICK,G4
        DEFB SNARE+HAT,A3,   0,0,        HAT,C5,     HAT,A4

        DEFB KICK+HAT,F3,    0,0,        HAT,F4,     0,0             ; F major
        DEFB SNARE+HAT,F3,   0,0,        KICK+HAT,F4, HAT,C4
        DEFB KICK+HAT,F3,    0,0,        HAT,F4,     KICK,E4
        DEFB SNARE+HAT,F3,   0,0,        HAT,A4,     HAT,F4

        DEFB KICK+HAT,C4,    0,0,        HAT,C5,     0,0             ; C major
        DEFB SNARE+HAT,C4,   0,0,        KICK+HAT,C5, HAT,G4
        DEFB KICK+HAT,C4,    0,0,        HAT,C5,     KICK,A4
        DEFB SNARE+HAT,C4,   0,0,        HAT,G4,     HAT,E4

        DEFB KICK+HAT,G3,    0,0,        HAT,G4,     0,0             ; G major, and a fill
        DEFB SNARE+HAT,G3,   0,0,        KICK+HAT,G4, HAT,D4
        DEFB KICK+HAT,G3,    0,0,        SNARE,G4,   KICK,D4
        DEFB SNARE,G3,       SNARE,D4,   SNARE+HAT,G4, SNARE,D4
        DEFB 0FFh               ; the end

        VECTORS isr

        END start

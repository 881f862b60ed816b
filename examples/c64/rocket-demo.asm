; A C64 program that shows the rocket of examples/rocket.bmp as multicolour
; sprite 0, its flame flickering through the sheet's four frames. The
; sprite pointers and colours are the labels quorvel-sheet wrote beside the
; blocks (rocket.inc). Built by the Makefile beside it (ACME).

!source "rocket.inc"            ; rocket_0 .. rocket_3, rocket_N_colour, the registers

* = $0801
; BASIC line 10 SYS 2061, which starts the code below
        !word basic_end, 10
        !byte $9e
        !text "2061"
        !byte 0
basic_end:
        !word 0

start:  lda #rocket_background
        sta $d021
        lda #rocket_multicolour1
        sta $d025
        lda #rocket_multicolour2
        sta $d026
        lda #172                ; position x and y
        sta $d000
        lda #140
        sta $d001
        lda #1
        sta $d01c               ; sprite 0 is multicolour
        sta $d015               ; sprite 0 is shown
        sei
next:   inx                     ; the frame: every eighth screen, the next of four
        txa
        lsr
        lsr
        lsr
        and #3
        tay
        lda pointers,y          ; sprite 0's pointer, after the screen at $0400
        sta $07f8
        lda colours,y           ; and that frame's own colour
        sta $d027
wait:   lda $d012               ; wait for the next screen: raster line 250
        cmp #250
        bne wait
hold:   lda $d012
        cmp #250
        beq hold
        jmp next

pointers:
        !byte rocket_0, rocket_1, rocket_2, rocket_3
colours:
        !byte rocket_0_colour, rocket_1_colour, rocket_2_colour, rocket_3_colour

* = $2000                       ; the blocks, where --address put them
        !binary "rocket.prg",,2 ; 4 blocks of 64 bytes, after the load address

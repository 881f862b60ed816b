; A C64 program that shows the scene of examples/scene.bmp: the ship (4
; frames), an enemy (3) and an explosion (5), each playing its animation, the
; boss, one object of four sprites side by side, and the hires crosshair.
; Every sprite pointer, colour, frame count, offset and mode comes from the
; labels and tables quorvel-sheet wrote for scene.toml; only the positions
; on the screen are this program's own. Built by the Makefile beside it (ACME).

!source "scene.inc"             ; NAME_N, NAME_N_colour, NAME_frames, NAME_multicolour, ...

pointer = $07f8                 ; sprite 0's pointer, after the screen at $0400
; the sprites: the boss takes four from boss_first
ship = 0
enemy = 1
explosion = 2
boss_first = 3
crosshair = boss_first + boss_sprites

* = $0801
; BASIC line 10 SYS 2061, which starts the code below
        !word basic_end, 10
        !byte $9e
        !text "2061"
        !byte 0
basic_end:
        !word 0

start:  lda #scene_background
        sta $d021
        lda #scene_multicolour1
        sta $d025
        lda #scene_multicolour2
        sta $d026
        ; $d01c: each sprite multicolour or hires as its label says
        lda #ship_multicolour << ship | enemy_multicolour << enemy | explosion_multicolour << explosion | (((1 << boss_sprites) - 1) * boss_multicolour) << boss_first | crosshair_multicolour << crosshair
        sta $d01c
        lda #(1 << (crosshair + 1)) - 1   ; every sprite shown
        sta $d015
        jsr place
        jsr boss_sprites_set
        sei
frame:  jsr step
        ldx #8                  ; the next frame after eight screens
wait:   lda $d012               ; wait for the next screen: raster line 250
        cmp #250
        bne wait
hold:   lda $d012
        cmp #250
        beq hold
        dex
        bne wait
        jmp frame

; The positions of the sprites (no $d010: all of them left of x 256).
place:  ldx #(positions_end - positions) - 1
.copy:  lda positions,x
        sta $d000,x
        dex
        bpl .copy
        lda crosshair_pointers
        sta pointer + crosshair
        lda crosshair_colours
        sta $d027 + crosshair
        rts
positions:
        !byte 60, 150               ; ship
        !byte 110, 90               ; enemy
        !byte 170, 90               ; explosion
positions_end:

; The boss: each of its sprites at its offset from the object's top left.
boss_left = 200
boss_top = 130
boss_sprites_set:
        ldx #0
.next:  txa
        asl
        tay
        lda #boss_left
        clc
        adc boss_x,x
        sta $d000 + 2 * boss_first,y
        lda #boss_top
        clc
        adc boss_y,x
        sta $d001 + 2 * boss_first,y
        lda boss_pointers,x
        sta pointer + boss_first,x
        lda boss_colours,x
        sta $d027 + boss_first,x
        inx
        cpx #boss_sprites
        bne .next
        lda #100                    ; the crosshair
        sta $d000 + 2 * crosshair
        lda #190
        sta $d001 + 2 * crosshair
        rts

; One animation's next frame: its pointer and colour from its tables.
!macro animate .sprite, .frame, .frames, .pointers, .colours {
        ldx .frame
        inx
        cpx #.frames
        bcc .keep
        ldx #0
.keep:  stx .frame
        lda .pointers,x
        sta pointer + .sprite
        lda .colours,x
        sta $d027 + .sprite
}

step:   +animate ship, ship_frame, ship_frames, ship_pointers, ship_colours
        +animate enemy, enemy_frame, enemy_frames, enemy_pointers, enemy_colours
        +animate explosion, explosion_frame, explosion_frames, explosion_pointers, explosion_colours
        rts

ship_frame:      !byte 0
enemy_frame:     !byte 0
explosion_frame: !byte 0

!source "scene-tables.asm"      ; NAME_pointers, NAME_colours, boss_x, boss_y

* = $2000                       ; the blocks, where the project's address put them
        !binary "scene.prg",,2  ; every block, after the load address

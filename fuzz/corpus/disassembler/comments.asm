; comments.asm - comments, commas, tabs and CR LF line ends
;
   ; an indented comment line

LOOP:   load,  7        ; a comma separates like a blank
        add , 3 ;no blank before this comment
	sto	12	; tabs
        and 3, 9        ; the extra operand is ignored
        inc 9           ; inc has no operand field
        jc 35           ; numeric target, cut to 5 bits: 3
   	   
        j LOOP          ; labels are case-sensitive
        load x          ; a label as data operand: all ones
;trailing comment

<group><items name="x" extra="1"><step code="44" name="Space" state="2" delay="-5" foo="bar">text</step><!-- c --><item delay="7" code="0x10"/></items><items/></group>

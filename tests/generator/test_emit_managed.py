"""The managed-type emitter on a schema it must refuse. What the emitted interfaces, stubs and dispatchers
do is tested by compiling them and by the library's managed-type and conformance tests."""

import unittest

from generator.emit_managed import ManagedEmitter, ManagedError
from generator.naming import Names

from .schema_fixtures import SchemaTestCase, build

class RefusalTest(SchemaTestCase):
    def test_member_hiding_a_nested_type_is_refused(self):
        model, _ = build({"quorl": """
            managed Box since version1 {
                method info() wsdl "BoxInfo";
                data Info since version1;
            }"""})
        with self.assertRaisesRegex(ManagedError, "Info would hide the nested type"):
            ManagedEmitter(model, Names(model), model.types["quorl.Box"])


if __name__ == "__main__":
    unittest.main()
